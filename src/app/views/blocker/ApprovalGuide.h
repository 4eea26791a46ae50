#pragma once

#include <QObject>
#include <QSize>
#include <QString>

#include <memory>

class QWidget;

namespace kestravin {

class HelperInstaller;

// The small card that tells the user what to confirm while the installer
// waits for the system's authorization: a floating panel in the top-right
// corner of the primary screen that never takes the keyboard or activates
// the application. The installer alone shows and hides it.
class ApprovalGuide : public QObject {
    Q_OBJECT
public:
    static constexpr QSize cardSize { 300, 132 };
    // Space between the card and the right and top edges of the screen's
    // available area.
    static constexpr int cornerInset = 24;

    // `displayName`: the application's display name (".app" is dropped).
    explicit ApprovalGuide(QString displayName, QObject* parent = nullptr);
    ~ApprovalGuide() override;

    static ApprovalGuide& shared();

    // Shows the card in the corner, or brings the card already shown to the
    // front where it is.
    void show();
    // Takes the card off screen and forgets it; nothing when there is none.
    void hide();

    // Shows and hides the guide as `installer` asks.
    void follow(HelperInstaller& installer);

    // The card's window while it is shown, else nullptr.
    QWidget* panel() const { return m_panel.get(); }
    QString appName() const { return m_appName; }

    // The instruction line as rich text, with the app's name in bold.
    static QString instruction(const QString& appName);

private:
    QString m_appName;
    std::unique_ptr<QWidget> m_panel;
};

} // namespace kestravin

#include "PrivateBus.h"

#include "app/shell/MoveOffer.h"
#include "app/shell/SingleInstance.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QTimer>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using namespace kestravin;
using kestravin::testing::PrivateBus;

namespace {

// Presses the button named `name` of the next modal box, and reports what it
// showed.
struct BoxAnswer {
    QString name;
    QStringList texts;
    QStringList buttons;

    void arm()
    {
        QTimer::singleShot(50, [this] { answer(); });
    }

    void answer()
    {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) {
            arm();
            return;
        }
        texts = { box->text(), box->informativeText() };
        for (QAbstractButton* button : box->buttons()) {
            buttons << button->accessibleName();
        }
        for (QAbstractButton* button : box->buttons()) {
            if (button->accessibleName() == name) {
                button->click();
                return;
            }
        }
        box->reject();
    }
};

} // namespace

TEST(MoveOffer, TheOfferShowsTheAdaptedTextsAndNamedButtons)
{
    LiveMoveServices services(QDBusConnection(u"none"_s));
    BoxAnswer quit { u"Sair"_s, {}, {} };
    quit.arm();
    EXPECT_FALSE(services.askToMove());
    EXPECT_EQ(quit.texts,
        (QStringList { u"Mova o Kestravin para a pasta Applications"_s,
            u"Aberto direto do arquivo baixado, o Kestravin não consegue bloquear nem se atualizar."_s }));
    EXPECT_EQ(quit.buttons, (QStringList { u"Mover para Applications"_s, u"Sair"_s }));

    BoxAnswer move { u"Mover para Applications"_s, {}, {} };
    move.arm();
    EXPECT_TRUE(services.askToMove());

    BoxAnswer failure { {}, {}, {} };
    failure.arm();
    services.showMoveFailure();
    EXPECT_EQ(failure.texts,
        (QStringList { u"Não foi possível mover"_s,
            u"Arraste o Kestravin para a pasta Applications da sua pasta pessoal e abra de lá."_s }));
}

TEST(MoveOffer, RunningInstancesAreAskedToQuitAndWaitedFor)
{
    PrivateBus bus(PrivateBus::Type::session);
    ASSERT_TRUE(bus.isRunning()) << qPrintable(bus.error());
    LiveMoveServices services(bus.connect(u"mover"_s));
    // Nobody runs: nothing to wait for.
    EXPECT_TRUE(services.quitOtherInstances(std::chrono::milliseconds(300)));

    SingleInstance installed(bus.connect(u"installed"_s));
    ASSERT_TRUE(installed.claim());
    int quitRequests = 0;
    QObject::connect(&installed, &SingleInstance::quitRequested, [&] {
        ++quitRequests;
        installed.release();
    });
    EXPECT_TRUE(services.quitOtherInstances(std::chrono::milliseconds(5000)));
    EXPECT_EQ(quitRequests, 1);

    // One that does not end in time is given up on.
    SingleInstance stubborn(bus.connect(u"stubborn"_s));
    ASSERT_TRUE(stubborn.claim());
    EXPECT_FALSE(services.quitOtherInstances(std::chrono::milliseconds(300)));
}

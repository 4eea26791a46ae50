#pragma once

#include <QFont>
#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <QString>

#include <optional>

// The numbers and sentences of the first-run wizard's screens, kept apart from
// the widgets so that they can be checked without drawing anything. Steps are
// given by their raw values: welcome 0, sites 1, hours 2, permission 3,
// missions 4, done 5.
namespace kestravin {

namespace OnboardingType {

// The font weight of the wizard's 100-to-900 scale on the system's weight
// axis: regular 0 up to 400, medium 0.23 at 500, semibold 0.3 at 600, then
// 0.1 more per hundred (bold 0.4 at 700).
double weightValue(int weight);
// The CSS-style weight (what QFont takes) that lies at `value` on that axis.
int qtWeight(double value);
// The wizard's system font of `size` logical pixels and `weight`.
QFont font(double size, int weight);

} // namespace OnboardingType

namespace OnboardingCopy {

// "Sites", "Horários", "Permissão", "Metas" for the four day steps; empty
// for any other step.
QString stepName(int step);
// "Etapa 2 de 4: Horários": where the progress row stands, for assistive
// technology. A step outside the four counts as the first.
QString progressText(int step);
// The done screen's sentence about `blockedCount` sites.
QString doneSentence(int blockedCount);
// The first word of a display name; none for an absent or blank name.
std::optional<QString> firstName(const std::optional<QString>& name);
// The title of the welcome screen's sign-in button.
QString signInLabel(bool waiting, bool signedIn, const std::optional<QString>& firstName);
// The welcome screen's status line.
QString welcomeStatus(
    bool connecting, const QString& code, const std::optional<QString>& accountEmail, const QString& connectError);
// The avatar's letter: the first character of the name (leading spaces
// skipped), else of the e-mail, upper-cased; empty for a blank name.
QString avatarInitial(const std::optional<QString>& name, const QString& email);

} // namespace OnboardingCopy

// One frame of the dawn: the mascot flies from its place on the welcome screen
// to the first step's dot while a growing hole of light opens the night.
struct DawnFrame {
    double eased = 0.0;
    // Centre of the mascot, its scale and its tilt in degrees (clockwise).
    QPointF mascot;
    double scale = 1.0;
    double tilt = 0.0;
    // Centre of the light, the radius inside which the night is cut away and
    // where its soft edge ends.
    QPointF light;
    double clearRadius = 0.0;
    double softEdge = 0.0;

    // `origin` is the mascot's frame on the welcome screen, `target` where it
    // lands, `area` the size of the whole window content.
    static DawnFrame at(double progress, const QRectF& origin, const QPointF& target, const QSizeF& area);
    // Cubic ease-in-out.
    static double ease(double progress);
};

// How long a rising item waits: 22 ms per place, the fifteenth and later
// items together.
int riseInDelayMs(int order);

enum class WelcomePhase { arriving, ready, leaving };

// How a night-screen item is drawn in a phase.
struct ItemLook {
    double opacity = 1.0;
    double offsetY = 0.0;
    double blur = 0.0;

    static ItemLook welcomeItem(WelcomePhase phase, bool reduceMotion);
    static ItemLook riseIn(bool visible, bool reduceMotion);
    bool operator==(const ItemLook&) const = default;
};

} // namespace kestravin

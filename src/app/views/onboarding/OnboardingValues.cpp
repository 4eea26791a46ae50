#include "app/views/onboarding/OnboardingValues.h"

#include <QStringList>

#include <algorithm>
#include <array>
#include <cmath>

using namespace Qt::StringLiterals;

namespace kestravin {

namespace OnboardingType {

double weightValue(int weight)
{
    if (weight <= 400) {
        return 0.0;
    }
    if (weight <= 500) {
        return (weight - 400) / 100.0 * 0.23;
    }
    if (weight <= 600) {
        return 0.23 + (weight - 500) / 100.0 * 0.07;
    }
    return 0.3 + (weight - 600) / 100.0 * 0.1;
}

int qtWeight(double value)
{
    // The system's named weights on its axis and their CSS numbers.
    static constexpr std::array<std::pair<double, int>, 6> named
        = { { { 0.0, 400 }, { 0.23, 500 }, { 0.3, 600 }, { 0.4, 700 }, { 0.56, 800 }, { 0.62, 900 } } };
    if (value <= named.front().first) {
        return 400;
    }
    for (size_t i = 1; i < named.size(); ++i) {
        if (value <= named[i].first) {
            const auto [x0, w0] = named[i - 1];
            const auto [x1, w1] = named[i];
            return static_cast<int>(std::lround(w0 + (value - x0) / (x1 - x0) * (w1 - w0)));
        }
    }
    return 900;
}

QFont font(double size, int weight)
{
    QFont result;
    result.setPixelSize(std::max(1, static_cast<int>(std::lround(size))));
    result.setWeight(static_cast<QFont::Weight>(qtWeight(weightValue(weight))));
    return result;
}

} // namespace OnboardingType

namespace OnboardingCopy {

QString stepName(int step)
{
    switch (step) {
    case 1:
        return u"Sites"_s;
    case 2:
        return u"Horários"_s;
    case 3:
        return u"Permissão"_s;
    case 4:
        return u"Metas"_s;
    default:
        return {};
    }
}

QString progressText(int step)
{
    const int position = (step >= 1 && step <= 4) ? step : 1;
    return u"Etapa %1 de 4: %2"_s.arg(position).arg(stepName(step));
}

QString doneSentence(int blockedCount)
{
    return u"Nos seus horários, a Orla guarda %1 %2 para depois. Ela fica no menu, lá em cima, se precisar de algo."_s
        .arg(blockedCount)
        .arg(blockedCount == 1 ? u"site"_s : u"sites"_s);
}

std::optional<QString> firstName(const std::optional<QString>& name)
{
    if (!name) {
        return std::nullopt;
    }
    const QStringList words = name->split(u' ', Qt::SkipEmptyParts);
    if (words.isEmpty()) {
        return std::nullopt;
    }
    return words.first();
}

QString signInLabel(bool waiting, bool signedIn, const std::optional<QString>& firstName)
{
    if (waiting) {
        return u"Aguardando o navegador…"_s;
    }
    if (!signedIn) {
        return u"Entrar ou criar conta"_s;
    }
    if (firstName) {
        return u"Continuar como "_s + *firstName;
    }
    return u"Continuar"_s;
}

QString welcomeStatus(
    bool connecting, const QString& code, const std::optional<QString>& accountEmail, const QString& connectError)
{
    if (connecting) {
        return code.isEmpty() ? u"Abrindo o navegador…"_s : u"Confira o código "_s + code + u" no navegador."_s;
    }
    if (accountEmail) {
        return u"Conta "_s + *accountEmail;
    }
    return connectError;
}

QString avatarInitial(const std::optional<QString>& name, const QString& email)
{
    // Leading spaces of a display name are not its initial.
    const QString source = name ? name->trimmed() : email;
    if (source.isEmpty()) {
        return {};
    }
    // A letter outside the basic plane is two UTF-16 units.
    const int length = source.at(0).isHighSurrogate() && source.size() > 1 ? 2 : 1;
    return source.left(length).toUpper();
}

} // namespace OnboardingCopy

double DawnFrame::ease(double p)
{
    return p < 0.5 ? 4.0 * p * p * p : 1.0 - std::pow(2.0 - 2.0 * p, 3.0) / 2.0;
}

DawnFrame DawnFrame::at(double progress, const QRectF& origin, const QPointF& target, const QSizeF& area)
{
    const double p = std::clamp(progress, 0.0, 1.0);
    DawnFrame frame;
    const double e = ease(p);
    const double u = 1.0 - e;
    frame.eased = e;
    const QPointF m = origin.center();
    const QPointF& t = target;
    const QPointF c((m.x() + t.x()) / 2.0 + 80.0, std::min(t.y(), m.y()) - 40.0);
    frame.mascot = u * u * m + 2.0 * u * e * c + e * e * t;
    const double width = origin.width();
    frame.scale = width > 0.0 ? 1.0 - std::pow(e, 1.25) * (1.0 - 7.0 / width) : 1.0;
    const double velocityX = 2.0 * u * (c.x() - m.x()) + 2.0 * e * (t.x() - c.x());
    frame.tilt = std::clamp(velocityX / 40.0, -16.0, 16.0) * u;
    frame.light = QPointF(
        frame.mascot.x() - 0.155 * width * frame.scale, frame.mascot.y() + 0.34 * origin.height() * frame.scale);
    frame.clearRadius = std::hypot(area.width(), area.height()) * std::pow(e, 1.6) + 30.0;
    frame.softEdge = frame.clearRadius + 120.0;
    return frame;
}

int riseInDelayMs(int order)
{
    return std::clamp(order, 0, 14) * 22;
}

ItemLook ItemLook::welcomeItem(WelcomePhase phase, bool reduceMotion)
{
    if (phase == WelcomePhase::ready || (phase == WelcomePhase::arriving && reduceMotion)) {
        return {};
    }
    if (reduceMotion) {
        return { 0.0, 0.0, 0.0 };
    }
    return { 0.0, phase == WelcomePhase::arriving ? 6.0 : -6.0, 3.0 };
}

ItemLook ItemLook::riseIn(bool visible, bool reduceMotion)
{
    if (visible) {
        return {};
    }
    return { 0.0, reduceMotion ? 0.0 : 10.0, 0.0 };
}

} // namespace kestravin

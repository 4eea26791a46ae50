// Dumps the accessibility tree of the applications on the accessibility bus,
// the way the browser shield reads them: each element with its AT-SPI role
// number (and the shield's reading of it), name, description, identifier,
// states, actions, document address and extents. Web content is entered only
// with --content.
//
//   kestravin-atspi-probe [--pid PID] [--depth N] [--content]
#include "app/platform/linux/AtspiTree.h"

#include <QCommandLineParser>
#include <QGuiApplication>
#include <QTextStream>

using namespace Qt::StringLiterals;
using namespace kestravin;

namespace {

QString roleName(AxRole role)
{
    switch (role) {
    case AxRole::Application:
        return u"application"_s;
    case AxRole::Window:
        return u"window"_s;
    case AxRole::WebArea:
        return u"web area"_s;
    case AxRole::TextField:
        return u"text field"_s;
    case AxRole::ComboBox:
        return u"combo box"_s;
    case AxRole::TabList:
        return u"tab list"_s;
    case AxRole::Tab:
        return u"tab"_s;
    case AxRole::Other:
        break;
    }
    return u"-"_s;
}

void dump(AtspiTree& tree, QTextStream& out, const AxElement& element, int depth, int maxDepth, bool content)
{
    const auto raw = tree.rawRole(element);
    const AxRole role = tree.role(element).value.value_or(AxRole::Other);
    QString line = QString(depth * 2, u' ') + u"[%1 %2]"_s.arg(raw.value.value_or(0)).arg(roleName(role));
    auto add = [&line](const QString& label, const QString& value) {
        if (!value.isEmpty()) {
            line += u" "_s + label + u"=\""_s + value + u"\""_s;
        }
    };
    add(u"name"_s, tree.name(element).value.value_or(QString()));
    add(u"description"_s, tree.description(element).value.value_or(QString()));
    add(u"id"_s, tree.identifier(element).value.value_or(QString()));
    if (role == AxRole::TextField || role == AxRole::ComboBox) {
        add(u"text"_s, tree.text(element).value.value_or(QString()));
    }
    if (const auto states = tree.states(element); states.ok()) {
        QStringList flags;
        if (states.value->active) {
            flags << u"active"_s;
        }
        if (states.value->focused) {
            flags << u"focused"_s;
        }
        if (states.value->selected) {
            flags << u"selected"_s;
        }
        if (!states.value->showing) {
            flags << u"not showing"_s;
        }
        add(u"states"_s, flags.join(u','));
    }
    if (const auto actions = tree.actions(element); actions.ok()) {
        add(u"actions"_s, actions.value->join(u','));
    }
    if (role == AxRole::WebArea) {
        const auto url = tree.documentUrl(element);
        add(u"DocURL"_s, url.value.value_or(u"(none)"_s));
    }
    if (role == AxRole::Window || role == AxRole::WebArea) {
        if (const auto extents = tree.extents(element); extents.ok()) {
            const QRect r = *extents.value;
            add(u"extents"_s, u"%1,%2 %3x%4"_s.arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height()));
        }
    }
    out << line << Qt::endl;
    if (depth >= maxDepth || (role == AxRole::WebArea && !content)) {
        return;
    }
    const auto children = tree.children(element, 200);
    for (const AxElement& child : children.value.value_or(AxChildren {}).elements) {
        dump(tree, out, child, depth + 1, maxDepth, content);
    }
}

} // namespace

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    const QCommandLineOption pidOption(u"pid"_s, u"Only the application of this process."_s, u"PID"_s);
    const QCommandLineOption depthOption(u"depth"_s, u"Deepest level shown (default 16)."_s, u"N"_s, u"16"_s);
    const QCommandLineOption contentOption(u"content"_s, u"Also enter web documents."_s);
    parser.addOptions({ pidOption, depthOption, contentOption });
    parser.process(app);

    AtspiTree tree(AtspiTree::Options { 2000, 2000 });
    QTextStream out(stdout);
    if (!tree.isEnabled()) {
        out << "accessibility is switched off or its bus is unreachable" << Qt::endl;
        return 1;
    }
    const int depth = parser.value(depthOption).toInt();
    if (parser.isSet(pidOption)) {
        const auto application = tree.application(parser.value(pidOption).toLongLong());
        if (!application) {
            out << "no tree for that process" << Qt::endl;
            return 1;
        }
        const auto focused = tree.focusedWindow(*application);
        out << "focused window: " << (focused.ok() ? focused.value->path : u"(none)"_s) << Qt::endl;
        dump(tree, out, *application, 0, depth, parser.isSet(contentOption));
        return 0;
    }
    const AxElement root { u"org.a11y.atspi.Registry"_s, u"/org/a11y/atspi/accessible/root"_s };
    dump(tree, out, root, 0, depth, parser.isSet(contentOption));
    return 0;
}

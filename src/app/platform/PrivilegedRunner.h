#pragma once

#include <QString>
#include <QStringList>

#include <functional>

namespace kestravin {

// Runs a shell script with administrator rights after the system has asked the
// user for them.
class PrivilegedRunner {
public:
    struct Result {
        bool success = false;
        QString output; // standard output of the script
        QString message; // why it failed; empty on success or when nothing was said
    };
    using Completion = std::function<void(Result)>;

    virtual ~PrivilegedRunner() = default;

    // Runs `bash scriptPath arguments...` as root. The arguments reach the script
    // as its positional parameters, never through a shell line. The completion
    // runs once on the GUI thread.
    virtual void runScript(const QString& scriptPath, const QStringList& arguments, Completion completion) = 0;
};

} // namespace kestravin

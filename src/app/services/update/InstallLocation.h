#pragma once

#include <QString>

#include <chrono>
#include <optional>

namespace kestravin {

// What the move needs of the desktop and of the other running instances; the
// shell implements it with dialogs and the session bus, tests with a script.
class MoveServices {
public:
    virtual ~MoveServices() = default;

    // The offer; true for "move", false for "Sair".
    virtual bool askToMove() = 0;
    // Asks every other running instance to quit, then waits up to `limit`
    // for them to end; false when one still runs.
    virtual bool quitOtherInstances(std::chrono::milliseconds limit) = 0;
    // Starts the application at `program` as a new process.
    virtual bool launch(const QString& program, QString* error) = 0;
    // The failure dialog; returns once it was dismissed.
    virtual void showMoveFailure() = 0;
    virtual void openFolder(const QString& path) = 0;
    // Ends the current process (after the caller returns to the event loop).
    virtual void terminate() = 0;
};

// The portable bundle started from a removable or temporary location offers
// to move itself into ~/Applications/Kestravin and to start from there.
class InstallLocation {
public:
    // The file that marks a bundle folder, beside the executable.
    static constexpr QStringView bundleMarker = u"bundle.ini";
    static constexpr QStringView executableName = u"kestravin";
    static constexpr std::chrono::milliseconds quitWait { 5000 };

    static const QString moveTitle;
    static const QString moveText;
    static const QString moveButton;
    static const QString quitButton;
    static const QString failureTitle;
    static const QString failureText;

    struct Environment {
        QString home;
        // $XDG_RUNTIME_DIR, empty when unset.
        QString runtimeDir;
    };

    // The bundle folder the process runs from, when it runs from one (never
    // for the Debian package or a build tree).
    static std::optional<QString> runningBundle();
    static Environment currentEnvironment();
    // "<home>/Applications/Kestravin"
    static QString destination(const Environment& environment);

    // True when the bundle lies under /media/, /run/media/, /mnt/, /tmp/ or
    // the runtime folder; never inside the home folder.
    static bool needsMove(const QString& bundlePath, const Environment& environment);
    // The running process: a bundle that needs the move.
    static bool needsMove();

    // The offer and the move; every path ends by calling `terminate`.
    // Returns true when the copy was launched from its new place.
    static bool offerMove(const QString& bundlePath, const Environment& environment, MoveServices& services);

    // Copies a folder with its files, links and modes; only regular files,
    // folders and symbolic links are copied.
    static bool copyTree(const QString& source, const QString& target, QString* error);
};

} // namespace kestravin

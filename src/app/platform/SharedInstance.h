#pragma once

#include <QtGlobal>

namespace kestravin {

// The application's one instance of a service, behind its `shared()`: the
// shell's composition root installs the function that builds it with the
// real collaborators, and the service only hands out what that function
// returns. Nothing here knows the platform's implementations; a program or
// test that reaches `shared()` without installing one stops with a message.
template <class T> class SharedInstance {
public:
    using Builder = T& (*)();

    static void install(Builder build) { s_build = build; }

    static T& get()
    {
        if (!s_build) {
            qFatal("%s: a service's shared() was used before the composition root installed it", Q_FUNC_INFO);
        }
        return s_build();
    }

private:
    static inline Builder s_build = nullptr;
};

} // namespace kestravin

#pragma once

/// The slot behind a process-wide `shared` accessor: the instance the program's start-up
/// built and installed. Only the start-up writes it; the code below is handed its objects
/// through constructors and never reads it.
template <class T>
class InstalledInstance {
public:
    InstalledInstance() = delete;

    /// The installed instance, or null.
    static T* get() { return slot(); }
    static void install(T* instance) { slot() = instance; }
    /// Uninstalls `instance` if it is the one installed.
    static void uninstall(const T* instance)
    {
        if (slot() == instance)
            slot() = nullptr;
    }

private:
    static T*& slot()
    {
        static T* instance = nullptr;
        return instance;
    }
};

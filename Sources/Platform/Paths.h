#pragma once

#include <QString>

/// Every fixed folder of the program comes from here, so tests and demos can run
/// inside a sandbox: R = $RACKHAND_SYSTEM_ROOT (unset or "/" = the real root),
/// H = $HOME, D = $XDG_DATA_HOME/Rackhand (default ~/.local/share/Rackhand).
/// The environment is read on every call: tests point it at fresh folders.
namespace Paths {

/// The root prefix without a trailing slash: "" for the real root.
QString systemRoot();
/// True when R is a sandbox folder rather than the real root.
bool isSandboxRoot();
/// R + an absolute system path, e.g. system("/Library/Audio") -> "<R>/Library/Audio".
QString system(const QString& absolutePath);
/// The user's home folder (H), without a trailing slash.
QString home();
/// H + an absolute path, e.g. user("/Library/Audio") -> "<H>/Library/Audio".
QString user(const QString& absolutePath);
/// The product's data folder D, where plugins.db and the side files live.
/// Not created here; callers create it when they write.
QString dataDir();
/// D + "/" + file name.
QString dataFile(const QString& fileName);
/// $XDG_CONFIG_HOME (default H/.config), the base of settings and autostart entries.
QString configHome();
/// The directory for temporary batch files.
QString tempDir();

} // namespace Paths

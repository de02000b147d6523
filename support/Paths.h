#pragma once

#include <QString>

// Where the program's files live. Every folder is returned without a trailing separator.
namespace paths {

// The folder of the running executable.
QString programFolder();
// Tests run from their own binary; they may pretend to be installed elsewhere.
void setProgramFolderForTesting(const QString &folder);

// Where files go whose default place is the program's folder (record files, snapshots,
// conversion output, lglist.dat): the program's folder when it is writable (a build tree,
// a folder the user unpacked); for an installed program, whose folder is not writable,
// $XDG_DATA_HOME/pelmora/CanKestrova (else ~/.local/share/…), made on first use. An
// installed program (a file "cankestrova.installed" beside it) counts as not writable.
QString fileFolder();
bool isProgramFolderWritable();

// The user's desktop; the home folder when the desktop folder does not exist.
QString desktopFolder();

// Base of the settings folder: $ProgramFiles when set, else the XDG config folder.
QString settingsBaseFolder();

// Where the two driver libraries are looked for: $CANKESTROVA_DRIVER_DIR when set,
// otherwise the program's folder.
QString driverFolder();

// a + separator + b, without doubling a separator that a already ends with.
QString join(const QString &a, const QString &b);
// Removes one trailing separator (not from a bare root).
QString removeTrailingSeparator(const QString &path);

bool isExistingFolder(const QString &path);
bool isExistingFile(const QString &path);

} // namespace paths

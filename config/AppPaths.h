// SPDX-License-Identifier: GPL-3.0-or-later
// Where the console keeps its files: the settings file and the runs folder, beside the executable
// or per user.
#pragma once

#include <QString>

namespace config {

// The two rules for where a console keeps Iniprofil.ini and runs/.
// BesideExecutable: in the executable's folder (a build folder, the portable
// archive, a folder of the operator's). PerUser: as an installed Linux program,
// $XDG_CONFIG_HOME/irconsole/Iniprofil.ini and $XDG_DATA_HOME/irconsole/runs/.
enum class FileLayout { BesideExecutable, PerUser };

// What the places depend on, as the start-up finds them.
struct PlaceInputs {
    FileLayout layout = FileLayout::BesideExecutable;
    QString executableDirectory;
    QString settingsOption; // --settings FILE; empty when not given
    QString home;           // $HOME
    QString configHome;     // $XDG_CONFIG_HOME, possibly empty or relative
    QString dataHome;       // $XDG_DATA_HOME, possibly empty or relative
};

struct FilePlaces {
    QString settingsFile;
    QString runsFolder;
    friend bool operator==(const FilePlaces&, const FilePlaces&) = default;
};

// The settings file and the runs folder for these inputs. A settings file
// given on the command line wins, with runs/ beside it; an XDG variable that is
// empty or not absolute falls back to its default under the home folder.
FilePlaces filePlaces(const PlaceInputs& inputs);

// Directory of the running executable (where the settings file lives unless
// another rule says otherwise). Tests point it elsewhere with
// ScopedAppDirectoryOverride.
QString appDirectory();

// Full path of the settings file of this start of the console, built afresh at
// each call.
QString settingsFilePath();
// The folder the run journal writes to; it need not exist yet.
QString runsDirectory();
// The folder where the port links "com1".."comN" are looked for: the settings
// file's, so that each console started with its own file has its own links
// (beside the executable for a build folder or the archive, as before).
QString portLinkDirectory();

// Creates the folder of the settings file when the per-user rule chose it and
// it is missing, so that the first save can create the file there. False when
// it could not be made (the saves are then refused, as in any folder that
// cannot be written).
bool prepareSettingsFolder();

// Redirects appDirectory() for the lifetime of the object; tests use it to keep
// their settings files in a temporary directory.
class ScopedAppDirectoryOverride {
public:
    explicit ScopedAppDirectoryOverride(const QString& directory);
    ~ScopedAppDirectoryOverride();
    ScopedAppDirectoryOverride(const ScopedAppDirectoryOverride&) = delete;
    ScopedAppDirectoryOverride& operator=(const ScopedAppDirectoryOverride&) = delete;

private:
    QString m_previous;
};

// The start-up's choice of layout and --settings file, in force for the
// lifetime of the object (main() holds one for the program's life; tests make
// their own and the previous choice comes back when it goes).
class ScopedFileChoice {
public:
    ScopedFileChoice(FileLayout layout, const QString& settingsOption);
    ~ScopedFileChoice();
    ScopedFileChoice(const ScopedFileChoice&) = delete;
    ScopedFileChoice& operator=(const ScopedFileChoice&) = delete;

private:
    FileLayout m_previousLayout;
    QString m_previousOption;
};

} // namespace config

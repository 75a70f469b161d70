// Persistence of the settings: the program's own store ("Brennick/Vorlin06") and the level
// editor's, read only, for the game's install folders ("Brennick/Tolmar"). Both are INI files
// under the user's configuration folder ($XDG_CONFIG_HOME, usually ~/.config); a store exists
// when its file exists.
#pragma once

#include <QString>

namespace vorlin {

// Overlays the defaults with what is stored; sets FirstRun when the program's store is absent.
// A value that is absent or not of its kind keeps its default.
void LoadSettings();
// Writes every preference and clears FirstRun. Raises "Failed to set data for '%s'".
void SavePreferences();
// Writes the window layout and the recent lists, only when the program's store exists.
void SaveExitSettings();

// The files behind the two stores.
QString SettingsFilePath();
QString LevelEditorFilePath();

} // namespace vorlin

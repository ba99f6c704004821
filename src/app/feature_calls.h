#pragma once

#include "exchange/logbook_exchange.h"

#include <QString>

namespace tl {

class MainWindowApi;

// The calls from start-up, shut-down and the command dispatch into the
// feature windows. Each group is defined in its own feature_*.cpp file.

// Preferences (feature_preferences.cpp).
void ApplyStartupPreferences(
    MainWindowApi &main); // start-up: geometry, pin, tab, patient, style, dark
void SaveClosingPreferences(MainWindowApi &main); // shut-down: geometry and patient
void OpenPreferencesWindow(MainWindowApi &main);  // "Paramètres", Ctrl+P

// Dark scheme (feature_theme.cpp).
void ApplyDarkScheme(MainWindowApi &main); // start-up, when the dark flag is on
// The scheme the dark flag names, at once, over the one in force.
void ApplyChosenScheme(MainWindowApi &main);

// Patients (feature_patients.cpp). Returns true when a patient is in use
// once the window has closed.
bool RunPatientManager(MainWindowApi &main, bool atStartup);

// Archives and printing (feature_archives.cpp).
// After the user confirmed: the report text, empty when nothing was archived.
QString ArchiveCurrentLists(MainWindowApi &main);
void PrintCurrentLists(MainWindowApi &main);  // "Imprimer", Ctrl+I
void OpenArchiveManager(MainWindowApi &main); // Ctrl+G

// Maintenance windows (feature_maintenance.cpp).
void OpenDataDestruction(MainWindowApi &main); // "Suppr.", Ctrl+D
void OpenAboutWindow(MainWindowApi &main);     // "A propos", Ctrl+Z

// The home-measurement series (feature_series.cpp).
void OpenSeriesWindow(MainWindowApi &main); // help menu item 75, Ctrl+R

// Readings in and out (feature_exchange.cpp); ExportFormat comes from
// exchange/logbook_exchange.h.
void ExportReadingsCommand(MainWindowApi &main, ExportFormat format); // Ctrl+E (CSV)
void ImportReadingsCommand(MainWindowApi &main);                      // Ctrl+L
void ReadMeterCommand(MainWindowApi &main);                           // Ctrl+B

} // namespace tl

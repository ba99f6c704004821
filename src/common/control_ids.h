#pragma once

namespace tl {

// Every control of every window has a number, unique in the program; the
// refreshes, the colouring and the tests address controls by it. The main
// window's numbers are fixed by its layout; each other window has a range.
enum class ControlId : int {
  // Main window (window 0).
  Banner = 0,
  ButtonPatient = 1,
  ButtonQuit = 2,
  ButtonSave = 3,
  ButtonArchive = 4,
  ButtonPrint = 5,
  ButtonAbout = 6,
  ButtonHelp = 7,
  ButtonSettings = 8,
  ButtonPin = 9,
  ButtonDelete = 10,
  ButtonFiller = 11,
  LeftPanel = 12,
  InputPrompt = 13,
  DateField = 14,
  TimeField = 15,
  SystolicLabel = 16,
  SystolicField = 17,
  DiastolicLabel = 18,
  DiastolicField = 19,
  PulseLabel = 20,
  PulseField = 21,
  ButtonAdd = 22,
  ButtonClear = 23,
  InformationPanel = 24,
  Picture = 25,
  PictureCaption = 26,
  RightPanel = 28,
  TabPanel = 29,
  ListNuit = 30,
  ListMatin = 31,
  ListJour = 32,
  ListSoir = 33,
  ListMenu = 34,
  MenuDelete = 35,
  MenuShow = 36,
  MenuModifyDate = 37,
  MenuModifyTime = 38,
  MenuModifySystolic = 39,
  MenuModifyDiastolic = 40,
  MenuModifyPulse = 41,
  AveragesHeading = 42,
  ButtonRefresh = 43,
  GraphPeriodSelector = 44,
  CurveStyleSelector = 45,
  AverageBoxMatin = 46,
  AverageHeadingMatin = 47,
  AverageBoxJour = 48,
  AverageHeadingJour = 49,
  AverageBoxSoir = 50,
  AverageHeadingSoir = 51,
  AverageBoxNuit = 52,
  AverageHeadingNuit = 53,
  AverageBoxOverall = 54,
  AverageHeadingOverall = 55,
  AverageValueMatin = 56,
  AverageValueJour = 57,
  AverageValueSoir = 58,
  AverageValueNuit = 59,
  AverageValueOverall = 60,
  AverageCountMatin = 61,
  AverageCountJour = 62,
  AverageCountSoir = 63,
  AverageCountNuit = 64,
  AverageCountOverall = 65,
  SystolicGraphTitle = 66,
  SystolicGraph = 67,
  DiastolicGraphTitle = 68,
  DiastolicGraph = 69,
  PulseGraphTitle = 70,
  PulseGraph = 71,
  HelpMenu = 72,
  MenuOpenHelp = 73,
  MenuOpenForm = 74,
  StatusBar = 76,
  ArchiveMenu = 149,
  MenuArchiveLists = 150,
  MenuArchiveManager = 151,

  // Splash window: 160 to 169.
  SplashFirst = 160,

  // Patient manager window: 200 to 299.
  PatientFirst = 200,

  // Preferences window: 300 to 399.
  PreferencesFirst = 300,

  // Archive manager window: 400 to 499.
  ArchiveManagerFirst = 400,

  // Data destruction window: 500 to 599.
  DestructionFirst = 500,

  // About window: 600 to 699.
  AboutFirst = 600,
};

inline constexpr int ToInt(ControlId id) { return static_cast<int>(id); }

} // namespace tl

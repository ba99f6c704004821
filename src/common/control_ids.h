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
  MenuSeries = 75, // "Remplir le relevé d'automesure (Ctrl+R)", right after 74
  StatusBar = 76,
  ArchiveMenu = 149,
  MenuArchiveLists = 150,
  MenuArchiveManager = 151,
  MenuExportCsv = 152,
  MenuExportFhir = 153,
  MenuImportCsv = 154,
  MenuNote = 155,       // "Remarque..." of the list menu
  IrregularCheck = 156, // "Pouls irrégulier" beside the value fields
  MenuReadMeter = 157,  // "Lire le tensiomètre (Bluetooth)... (Ctrl+B)", where Qt has Bluetooth
  // The rest of a reading's context in the input panel, taken with it.
  NoteLabel = 158,          // "Remarque"
  NoteField = 159,          // the note, one line
  MedicationCheck = 170,    // "Traitement pris"
  MovementCheck = 171,      // "Mouvement"
  CuffMisplacedCheck = 172, // "Brassard mal placé"

  // Splash window: 160 to 169.
  SplashFirst = 160,

  // Patient manager window: 200 to 299.
  PatientFirst = 200,
  PatientBanner = 200,
  PatientInstruction = 201,
  PatientList = 202,
  PatientNameLabel = 203,
  PatientNameField = 204,
  PatientAgeLabel = 205,
  PatientAgeField = 206,
  PatientWeightLabel = 207,
  PatientWeightField = 208,
  PatientDoctorLabel = 209,
  PatientDoctorField = 210,
  PatientEmailLabel = 211,
  PatientEmailField = 212,
  PatientPhoneLabel = 213,
  PatientPhoneField = 214,
  PatientAddressLabel = 215,
  PatientAddressField = 216,
  PatientButtonBar = 217,
  PatientButtonAdd = 218,
  PatientButtonClear = 219,
  PatientButtonDelete = 220,
  PatientRequiredLabel = 221,
  PatientButtonClose = 222,
  PatientStatusBar = 223,
  PatientMenu = 224,
  PatientMenuSelect = 225,
  PatientMenuDelete = 226,
  PatientMenuShow = 227,
  PatientMenuModify = 228,
  PatientMenuModifyFirst = 229, // 229 to 236: the eight "Modifier..." entries, by column

  // Preferences window: 300 to 399.
  PreferencesFirst = 300,
  PrefBanner = 300,
  PrefWindowGroup = 301,
  PrefKeepSize = 302,
  PrefKeepPos = 303,
  PrefMaximise = 304,
  PrefSticky = 305,
  PrefTabGroup = 306,
  PrefTabMatin = 307, // 307 to 311: Matin, Jour, Soir, Nuit, Moyennes
  PrefTabMoyennes = 311,
  PrefPatientGroup = 312,
  PrefReopenPatient = 313,
  PrefChoosePatient = 314,
  PrefCurveGroup = 315,
  PrefCurveLines = 316, // 316 to 318: curve styles 1 to 3
  PrefCurveCircled = 318,
  PrefSchemeGroup = 319,
  PrefDarkOn = 320,
  PrefDarkOff = 321,
  PrefButtonDefault = 322,
  PrefButtonSave = 323,
  PrefButtonClose = 324,
  PrefStatusBar = 325,

  // Archive manager window: 400 to 499.
  ArchiveManagerFirst = 400,
  ArchiveBanner = 400,
  ArchiveButtonQuit = 401,
  ArchiveButtonDelete = 402,
  ArchiveButtonPrint = 403,
  ArchiveOpenedFile = 404, // the opened-file band of the button strip
  ArchiveSplitter = 405,
  ArchiveFileList = 406,
  ArchiveReadingsList = 407,
  ArchiveStatusBar = 408,

  // Data destruction window: 500 to 599.
  DestructionFirst = 500,
  DestructionBanner = 500,
  DestructionHeading = 501,
  DestructionItemPrint = 502, // 502 to 506: the five check boxes, items 1 to 5
  DestructionItemPreferences = 506,
  DestructionWarning = 507,
  DestructionResults = 508,
  DestructionProgress = 509,
  DestructionButtonBar = 510,
  DestructionButtonDelete = 511,
  DestructionButtonClose = 512,

  // About window: 600 to 699.
  AboutFirst = 600,
  AboutBanner = 600,
  AboutPanel = 601,
  AboutSiteIcon = 602,
  AboutSiteLink = 603,
  AboutLicenceIcon = 604,
  AboutLicenceLink = 605,
  AboutButtonClose = 606,

  // Home-measurement series window: 700 to 749.
  SeriesBanner = 700,
  SeriesTabs = 701,
  SeriesProtocolLabel = 702,
  SeriesProtocol = 703,
  SeriesStartLabel = 704,
  SeriesStart = 705,
  SeriesGrid = 706,
  SeriesMeans = 707,
  SeriesVerdict = 708,
  SeriesExcludedLabel = 709,
  SeriesExcluded = 710,
  SeriesEmpty = 711,
  ReportFromLabel = 712,
  ReportFrom = 713,
  ReportToLabel = 714,
  ReportTo = 715,
  ReportStatistics = 716,
  ReportClasses = 717,
  ReportEmpty = 718,
  SeriesButtonBar = 719,
  SeriesButtonPdf = 720,
  SeriesButtonPrint = 721,
  SeriesButtonClose = 722,
  SeriesMorningStartLabel = 723,
  SeriesMorningStart = 724,
  SeriesEveningEndLabel = 725,
  SeriesEveningEnd = 726,
  SeriesWindows = 727,
  SeriesButtonPreview = 790, // "Aperçu..."

  // Import preview window: 800 to 899.
  ImportFirst = 800,
  ImportBanner = 800,
  ImportFileLabel = 801,
  ImportInstruction = 802,
  ImportTable = 803,
  ImportHeaderBox = 804,
  ImportHint = 805,
  ImportButtonImport = 806,
  ImportButtonCancel = 807,
  ImportFormatLabel = 808,
  ImportDateOrderLabel = 809,
  ImportDateOrder = 810,
  ImportWarnings = 811,

  // Meter window: 900 to 919.
  MeterFirst = 900,
  MeterBanner = 900,
  MeterListLabel = 901,
  MeterList = 902,
  MeterProgress = 903,
  MeterUserLabel = 904,
  MeterUser = 905,
  MeterUserHint = 906,
  MeterButtonSearch = 907,
  MeterButtonRead = 908,
  MeterButtonCancel = 909,

  // The series in progress on the main window, and the guided session: 950 to 979.
  SeriesStrip = 950,
  SeriesLine = 951,
  ButtonMeasureNow = 952,
  ButtonSeriesForm = 953,
  ButtonSeriesMenu = 954,
  SeriesMenu = 955,
  MenuSeriesStart = 956,
  MenuSeriesStop = 957,
  SeriesButtonFollow = 958, // in the series window: "Suivre cette série"
  MenuSeriesKeepInTray = 959,
  GuidedFirst = 960,
  GuidedHeading = 960,
  GuidedPages = 961,
  GuidedConditions = 962,
  GuidedStartRest = 963,
  GuidedCountdown = 964,
  GuidedSkipWait = 965,
  GuidedDateTime = 966,
  GuidedSystolic = 967,
  GuidedDiastolic = 968,
  GuidedPulse = 969,
  GuidedNote = 970,
  GuidedFlagFirst = 971, // the four flags, 971 to 974, in the order of kAllContextFlags
  GuidedFile = 975,
  GuidedError = 976,
  GuidedSummary = 977,
  GuidedClose = 978,
  GuidedNotice = 979,
  GuidedReadMeter = 980,   // "Lire la mesure du tensiomètre", where a meter is remembered
  GuidedMeterStatus = 981, // what the meter gave, or why it gave nothing
};

inline constexpr int ToInt(ControlId id) { return static_cast<int>(id); }

// Menu event ids sent by the keyboard shortcuts.
enum class ShortcutId : int {
  Quit = 176,
  Patient = 177,
  Save = 178,
  Archive = 179,
  ArchiveManager = 180,
  Print = 181,
  Help = 182,
  Form = 183,
  Preferences = 184,
  About = 185,
  Pin = 186,
  Destruction = 187,
  Copy = 188,       // taken by the window, does nothing
  Series = 189,     // Ctrl+R
  ExportCsv = 190,  // Ctrl+E
  ImportCsv = 191,  // Ctrl+L
  ReadMeter = 192,  // Ctrl+B, where Qt has Bluetooth
  MeasureNow = 193, // Ctrl+M, the guided session
};
inline constexpr int ToInt(ShortcutId id) { return static_cast<int>(id); }

} // namespace tl

#pragma once

// The ids of the dialog templates' controls, which the templates
// (resources/dlg*.xrc) carry as the controls' names, each named here after
// what its template shows beside it. The buttons 1 and 2 are IDOK and IDCANCEL.

namespace vobrik {

// The main dialog, template 2000.
namespace MainDlgIds {
constexpr int AlarmList = 101;    // the list in "Alarmes"
constexpr int Close = 102;        // "&Fermer"
constexpr int Add = 103;          // "&Ajouter"
constexpr int Delete = 104;       // "&Supprimer"
constexpr int Modify = 105;       // "&Modifier"
constexpr int DaySummary = 106;   // "&Synthèse du jour"
constexpr int SummaryCheck = 108; // "Synthèse", under "Au démarrage :"
constexpr int HideCheck = 109;    // "Cacher", under "Au démarrage :"
} // namespace MainDlgIds

// The reminder editor, template 2001.
namespace EditDlgIds {
constexpr int Message = 101;   // "Message :"
constexpr int Day = 102;       // "Jour :"
constexpr int Month = 103;     // "Mois :"
constexpr int Year = 104;      // "Année :"
constexpr int Hour = 105;      // "Heures :"
constexpr int Minute = 106;    // "Minutes :"
constexpr int Once = 108;      // "Rappel"
constexpr int Monthly = 109;   // "Rappel mensuel"
constexpr int Yearly = 110;    // "Rappel Annuel"
constexpr int EveryDays = 111; // "Rappel tous les"
constexpr int Interval = 112;  // the number before "jour(s)"
} // namespace EditDlgIds

// The ring dialog, template 2002.
namespace RingDlgIds {
constexpr int Message = 100;  // "Message"
constexpr int RemindIn = 101; // "Rappel dans"
constexpr int Delay = 102;    // the amount, "000"
constexpr int Days = 103;     // "Jours"
constexpr int Hours = 104;    // "Heures"
constexpr int Minutes = 105;  // "Minutes"
constexpr int ForAll = 106;   // "pour toutes les alarmes en cours"
} // namespace RingDlgIds

} // namespace vobrik

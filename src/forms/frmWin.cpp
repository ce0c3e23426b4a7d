#include "forms/frmWin.h"

#include "Module1.h"
#include "runtime/Conversions.h"
#include "runtime/Runtime.h"

namespace quintarel {

namespace {

using rt::ControlDesign;
using K = rt::ControlKind;
namespace st = rt::style;

constexpr rt::Color kBack = rt::sys::InactiveCaptionText;
constexpr rt::Color kMarkRed = 0x008080FF;
constexpr rt::Color kCountGreen = 0x00008000;
constexpr rt::Color kHitGreen = 0x0000C000;

constexpr rt::FontDesign kSansBold{"MS Sans Serif", 8.25, true, 238};

// clang-format off
#define QUINTAREL_MARK(i, x)                                                                                 \
  {.name = "lblBarva", .index = i, .left = x, .top = 900, .width = 165, .height = 195, .backColor = kMarkRed}
#define QUINTAREL_ROUND_NUMBER(i, x, digit)                                                                  \
  {.name = "lblCisloText", .index = i, .left = x, .top = 900, .width = 105, .height = 195, .caption = digit, \
   .backStyle = st::Transparent, .font = &kSansBold}
#define QUINTAREL_CELL(array, i, x, y, align) \
  {.name = array, .index = i, .left = x, .top = y, .width = 105, .height = 195, .caption = "0", .alignment = align}

// Front to back.
constexpr ControlDesign kControls[] = {
    {.name = "cmdOK", .kind = K::CommandButton, .left = 1020, .top = 1800, .width = 555, .height = 345,
     .caption = "OK", .font = &kSansBold},
    QUINTAREL_ROUND_NUMBER(0, 930, "1"),
    QUINTAREL_ROUND_NUMBER(1, 1140, "2"),
    QUINTAREL_ROUND_NUMBER(2, 1350, "3"),
    QUINTAREL_ROUND_NUMBER(3, 1560, "4"),
    QUINTAREL_ROUND_NUMBER(4, 1770, "5"),
    QUINTAREL_ROUND_NUMBER(5, 1980, "6"),
    QUINTAREL_ROUND_NUMBER(6, 2190, "7"),
    QUINTAREL_MARK(6, 2160),
    QUINTAREL_MARK(5, 1950),
    QUINTAREL_MARK(4, 1740),
    QUINTAREL_MARK(3, 1530),
    QUINTAREL_MARK(2, 1320),
    QUINTAREL_MARK(1, 1110),
    QUINTAREL_MARK(0, 900),
    QUINTAREL_CELL("lblSpravneCislo", 6, 2190, 1380, st::LeftJustify),
    QUINTAREL_CELL("lblSpravneCislo", 5, 1980, 1380, st::LeftJustify),
    QUINTAREL_CELL("lblSpravneCislo", 4, 1770, 1380, st::LeftJustify),
    QUINTAREL_CELL("lblSpravneCislo", 3, 1560, 1380, st::LeftJustify),
    QUINTAREL_CELL("lblSpravneCislo", 2, 1350, 1380, st::LeftJustify),
    QUINTAREL_CELL("lblSpravneCislo", 1, 1140, 1380, st::LeftJustify),
    QUINTAREL_CELL("lblSpravneCislo", 0, 930, 1380, st::LeftJustify),
    {.name = "Line11", .kind = K::Line, .x1 = 2340, .y1 = 870, .x2 = 2340, .y2 = 1605},
    {.name = "Line10", .kind = K::Line, .x1 = 2130, .y1 = 870, .x2 = 2130, .y2 = 1605},
    {.name = "Line9", .kind = K::Line, .x1 = 1920, .y1 = 870, .x2 = 1920, .y2 = 1605},
    {.name = "lblSpravneTipyText", .left = 150, .top = 1380, .width = 675, .height = 210, .caption = "Správně:"},
    {.name = "Line8", .kind = K::Line, .x1 = 1710, .y1 = 870, .x2 = 1710, .y2 = 1605},
    {.name = "Line7", .kind = K::Line, .x1 = 1500, .y1 = 870, .x2 = 1500, .y2 = 1605},
    {.name = "Line6", .kind = K::Line, .x1 = 1290, .y1 = 870, .x2 = 1290, .y2 = 1605},
    QUINTAREL_CELL("lblVaseCislo", 6, 2190, 1140, st::LeftJustify),
    QUINTAREL_CELL("lblVaseCislo", 5, 1980, 1140, st::LeftJustify),
    QUINTAREL_CELL("lblVaseCislo", 4, 1770, 1140, st::LeftJustify),
    QUINTAREL_CELL("lblVaseCislo", 3, 1560, 1140, st::LeftJustify),
    QUINTAREL_CELL("lblVaseCislo", 2, 1350, 1140, st::LeftJustify),
    QUINTAREL_CELL("lblVaseCislo", 1, 1140, 1140, st::Center),
    QUINTAREL_CELL("lblVaseCislo", 0, 930, 1140, st::LeftJustify),
    {.name = "Line5", .kind = K::Line, .x1 = 1080, .y1 = 870, .x2 = 1080, .y2 = 1605},
    {.name = "Line4", .kind = K::Line, .x1 = 870, .y1 = 870, .x2 = 2340, .y2 = 870},
    {.name = "Line2", .kind = K::Line, .x1 = 870, .y1 = 870, .x2 = 870, .y2 = 1605},
    {.name = "Line1", .kind = K::Line, .x1 = 120, .y1 = 1350, .x2 = 2340, .y2 = 1350},
    {.name = "Shape1", .kind = K::Shape, .left = 120, .top = 1110, .width = 2235, .height = 495},
    {.name = "lblVaseTipyText", .left = 150, .top = 1140, .width = 705, .height = 195, .caption = "Vaše tipy:"},
    {.name = "lblSpravneOdhady", .left = 1740, .top = 450, .width = 105, .height = 195, .caption = "0",
     .backColor = kBack, .foreColor = kCountGreen},
    {.name = "lblZeSedmi", .left = 1830, .top = 450, .width = 195, .height = 195, .caption = "/7", .backColor = kBack},
    {.name = "lblSpravneText", .left = 450, .top = 450, .width = 1215, .height = 195, .caption = "Správné odhady:",
     .backColor = kBack},
    {.name = "lblUspesnost", .left = 1290, .top = 210, .width = 435, .height = 195, .backColor = kBack},
    {.name = "lblUspesnostText", .left = 450, .top = 210, .width = 825, .height = 195, .caption = "Úspěšnost:",
     .backColor = kBack},
};

// The record as a screen reader meets it: a table of the rounds, its rows the
// chosen and the drawn numbers.
constexpr std::string_view kRowHeaders[] = {"lblVaseTipyText", "lblSpravneTipyText"};
constexpr std::string_view kRows[] = {"lblVaseCislo", "lblSpravneCislo"};
// A column's mark is green where the guess and the draw agree.
constexpr rt::ColourText kAgreement[] = {{kHitGreen, "shoda"}, {kMarkRed, "neshoda"}};
constexpr rt::AccessibleTable kRecord{.columnHeaders = "lblCisloText",
                                      .rowHeaders = kRowHeaders,
                                      .rows = kRows,
                                      .marks = "lblBarva",
                                      .markStates = kAgreement};
// Enter and Space press OK wherever the focus is in the window, as when OK was
// the only control that took it: the table a screen reader walks keeps them.
constexpr rt::KeyBinding kKeys[] = {{rt::Key::Enter, "cmdOK"}, {rt::Key::Space, "cmdOK"}};
// Told when the window opens: the whole result in one sentence.
constexpr rt::Spoken kSummary[] = {{.text = "Správné odhady: ", .valueOf = "lblSpravneOdhady"},
                                   {.text = " ze 7, úspěšnost ", .valueOf = "lblUspesnost"},
                                   {.text = "."}};

using R = rt::AccessibleRole;
using V = rt::AccessibleValue;
constexpr rt::AccessibleDesign kAccessible[] = {
    {.control = "lblUspesnost", .label = "lblUspesnostText", .value = V::Caption},
    {.control = "lblSpravneOdhady", .label = "lblSpravneText", .value = V::Caption},
    {.role = R::Table, .name = "Kola", .table = &kRecord, .tabIndex = 1},
    {.role = R::Button, .control = "cmdOK", .tabIndex = 0},
};

#undef QUINTAREL_MARK
#undef QUINTAREL_ROUND_NUMBER
#undef QUINTAREL_CELL
// clang-format on

}  // namespace

const rt::FormDesign kFrmWinDesign{
    .name = "frmWin",
    .caption = "Vyhodnocení",
    .backColor = kBack,
    .borderStyle = 4,
    .maxButton = false,
    .minButton = false,
    .showInTaskbar = false,
    .icon = false,
    .clientLeft = 5205,
    .clientTop = 3390,
    .clientWidth = 2505,
    .clientHeight = 2265,
    .controls = kControls,
    .keys = kKeys,
    .accessible = kAccessible,
    .announceOnOpen = kSummary,
};

FrmWin::FrmWin(rt::Runtime& runtime)
    : rt::Form(runtime, kFrmWinDesign),
      lblSpravneOdhady(Ctl("lblSpravneOdhady")),
      lblUspesnost(Ctl("lblUspesnost")),
      lblVaseCislo(Array("lblVaseCislo")),
      lblSpravneCislo(Array("lblSpravneCislo")),
      lblBarva(Array("lblBarva")),
      cmdOK(Ctl("cmdOK")) {}

void FrmWin::Form_Activate() {
  ClipCursorToForm(*this);
  for (int i = 0; i <= 6; ++i) {
    const std::string chosen = lblVaseCislo.Item(i).Caption();
    const std::string drawn = lblSpravneCislo.Item(i).Caption();
    if (rt::vbaStrCmp(chosen, drawn) == 0) lblBarva.Item(i).SetBackColor(kHitGreen);
  }
}

void FrmWin::cmdOK_Click() {
  UnclipCursor(*this);
  Rt().End();
}

void FrmWin::Form_QueryUnload(rt::EventArgs&) {
  UnclipCursor(*this);
  Rt().End();
}

}  // namespace quintarel

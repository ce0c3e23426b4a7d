#include "forms/frmMain.h"

#include <array>
#include <string>

#include "runtime/Runtime.h"

namespace quintarel {

namespace {

using rt::ControlDesign;
using K = rt::ControlKind;
namespace st = rt::style;

constexpr rt::Color kPink = 0x00C0C0FF;         // the window's own colour
constexpr rt::Color kLightYellow = 0x00C0FFFF;  // the ring
constexpr rt::Color kOrange = 0x0080C0FF;       // selection boxes
constexpr rt::Color kBlue = 0x00FF0000;

constexpr rt::FontDesign kVerdana675{"Verdana", 6.75, true, 238};
constexpr rt::FontDesign kVerdana975{"Verdana", 9.75, true, 238};
constexpr rt::FontDesign kVerdana12{"Verdana", 12, true, 238};
constexpr rt::FontDesign kVerdana1425{"Verdana", 14.25, true, 238};

// clang-format off
// Front to back within each container.
constexpr ControlDesign kControls[] = {
    {.name = "fraVysledky", .kind = K::Frame, .left = 3120, .top = 2190, .width = 3045, .height = 1245,
     .caption = "Výsledky", .backColor = kPink},
    {.name = "fraNumber", .kind = K::Frame, .left = 5130, .top = 840, .width = 465, .height = 615, .backColor = kPink},
    {.name = "Image1", .kind = K::Image, .left = 1280, .top = 1335, .width = 480, .height = 480, .picture = true},
    // Number captions of rounds 7 .. 1.
    {.name = "Label8", .left = 360, .top = 1290, .width = 135, .height = 165, .caption = "7.", .backColor = kPink,
     .font = &kVerdana675},
    {.name = "Label7", .left = 630, .top = 2280, .width = 135, .height = 165, .caption = "6.", .backColor = kPink,
     .font = &kVerdana675},
    {.name = "Label6", .left = 1590, .top = 2610, .width = 135, .height = 165, .caption = "5.", .backColor = kPink,
     .font = &kVerdana675},
    {.name = "Label5", .left = 2370, .top = 2130, .width = 135, .height = 165, .caption = "4.", .backColor = kPink,
     .font = &kVerdana675},
    {.name = "Label4", .left = 2520, .top = 1350, .width = 135, .height = 165, .caption = "3.", .backColor = kPink,
     .font = &kVerdana675},
    {.name = "Label3", .left = 2070, .top = 600, .width = 135, .height = 165, .caption = "2.", .backColor = kPink,
     .font = &kVerdana675},
    {.name = "Label2", .left = 930, .top = 540, .width = 135, .height = 165, .caption = "1.", .backColor = kPink,
     .font = &kVerdana675},
    {.name = "Label1", .left = 3420, .top = 1050, .width = 1545, .height = 255, .caption = "Zvolené číslo:",
     .backColor = kPink, .font = &kVerdana975},
    // Draw labels and the selection strip, interleaved as they are stacked.
    {.name = "lblNo7", .left = 450, .top = 810, .width = 135, .height = 255, .backColor = kPink, .foreColor = kBlue,
     .font = &kVerdana975},
    {.name = "lblNo6", .left = 390, .top = 1950, .width = 135, .height = 255, .backColor = kPink, .foreColor = kBlue,
     .font = &kVerdana975},
    {.name = "lblNo5", .left = 1110, .top = 2580, .width = 135, .height = 255, .backColor = kPink, .foreColor = kBlue,
     .font = &kVerdana975},
    {.name = "lblNo4", .left = 2160, .top = 2400, .width = 135, .height = 255, .backColor = kPink, .foreColor = kBlue,
     .font = &kVerdana975},
    {.name = "lblNoSelectNo7", .left = 6030, .top = 210, .width = 165, .height = 255, .caption = "7",
     .backStyle = st::Transparent, .font = &kVerdana12},
    {.name = "lblNoSelectNo6", .left = 5520, .top = 210, .width = 165, .height = 255, .caption = "6",
     .backStyle = st::Transparent, .font = &kVerdana12},
    {.name = "lblNoSelectNo5", .left = 5010, .top = 210, .width = 165, .height = 255, .caption = "5",
     .backStyle = st::Transparent, .font = &kVerdana12},
    {.name = "lblNoSelectNo4", .left = 4500, .top = 210, .width = 165, .height = 255, .caption = "4",
     .backStyle = st::Transparent, .font = &kVerdana12},
    {.name = "lblNoSelectNo3", .left = 3990, .top = 210, .width = 165, .height = 255, .caption = "3",
     .backStyle = st::Transparent, .font = &kVerdana12},
    {.name = "lblNoSelectNo2", .left = 3480, .top = 210, .width = 165, .height = 255, .caption = "2",
     .backStyle = st::Transparent, .font = &kVerdana12},
    {.name = "lblNoSelectNo1", .left = 2970, .top = 210, .width = 165, .height = 255, .caption = "1",
     .backStyle = st::Transparent, .font = &kVerdana12},
    {.name = "lblNo3", .left = 2580, .top = 1560, .width = 135, .height = 255, .backColor = kPink, .foreColor = kBlue,
     .font = &kVerdana975},
    {.name = "lblNo2", .left = 2370, .top = 720, .width = 135, .height = 255, .backColor = kPink, .foreColor = kBlue,
     .font = &kVerdana975},
    {.name = "lblNoSelect7", .left = 5880, .top = 210, .width = 465, .height = 255, .backColor = kOrange},
    {.name = "lblNoSelect6", .left = 5370, .top = 210, .width = 465, .height = 255, .backColor = kOrange},
    {.name = "lblNoSelect5", .left = 4860, .top = 210, .width = 465, .height = 255, .backColor = kOrange},
    {.name = "lblNoSelect4", .left = 4350, .top = 210, .width = 465, .height = 255, .backColor = kOrange},
    {.name = "lblNoSelect3", .left = 3840, .top = 210, .width = 465, .height = 255, .backColor = kOrange},
    {.name = "lblNoSelect2", .left = 3330, .top = 210, .width = 465, .height = 255, .backColor = kOrange},
    {.name = "lblNoSelect1", .left = 2820, .top = 210, .width = 465, .height = 255, .backColor = kOrange},
    // The ruling of the selection strip.
    {.name = "Line17", .kind = K::Line, .x1 = 5850, .y1 = 180, .x2 = 5850, .y2 = 480},
    {.name = "Line16", .kind = K::Line, .x1 = 5340, .y1 = 180, .x2 = 5340, .y2 = 480},
    {.name = "Line15", .kind = K::Line, .x1 = 4830, .y1 = 180, .x2 = 4830, .y2 = 480},
    {.name = "Line14", .kind = K::Line, .x1 = 4320, .y1 = 180, .x2 = 4320, .y2 = 480},
    {.name = "Line13", .kind = K::Line, .x1 = 3810, .y1 = 180, .x2 = 3810, .y2 = 480},
    {.name = "Line12", .kind = K::Line, .x1 = 3300, .y1 = 180, .x2 = 3300, .y2 = 480},
    {.name = "Line11", .kind = K::Line, .x1 = 2790, .y1 = 180, .x2 = 2790, .y2 = 480},
    {.name = "Line10", .kind = K::Line, .x1 = 6360, .y1 = 180, .x2 = 6360, .y2 = 480},
    {.name = "Line9", .kind = K::Line, .x1 = 2790, .y1 = 480, .x2 = 6360, .y2 = 480},
    {.name = "Line8", .kind = K::Line, .x1 = 2790, .y1 = 180, .x2 = 6360, .y2 = 180},
    {.name = "lblNo1", .left = 1410, .top = 300, .width = 225, .height = 255, .backColor = kPink, .foreColor = kBlue,
     .font = &kVerdana975},
    // Round labels 7 .. 1 over the ring: no caption, transparent.
    {.name = "lblClick7", .left = 540, .top = 840, .width = 555, .height = 675, .backStyle = st::Transparent},
    {.name = "lblClick6", .left = 510, .top = 1560, .width = 435, .height = 645, .backStyle = st::Transparent},
    {.name = "lblClick5", .left = 1020, .top = 2100, .width = 615, .height = 465, .backStyle = st::Transparent},
    {.name = "lblClick4", .left = 1680, .top = 1950, .width = 585, .height = 525, .backStyle = st::Transparent},
    {.name = "lblClick3", .left = 2070, .top = 1440, .width = 435, .height = 495, .backStyle = st::Transparent},
    {.name = "lblClick2", .left = 1920, .top = 810, .width = 495, .height = 525, .backStyle = st::Transparent},
    {.name = "lblClick1", .left = 1050, .top = 600, .width = 765, .height = 435, .backStyle = st::Transparent},
    // Radial lines between the rounds; Line1, between rounds 7 and 1, is the thick one.
    {.name = "Line7", .kind = K::Line, .x1 = 930, .y1 = 1530, .x2 = 510, .y2 = 1530},
    {.name = "Line6", .kind = K::Line, .x1 = 1140, .y1 = 2010, .x2 = 840, .y2 = 2340},
    {.name = "Line5", .kind = K::Line, .x1 = 1620, .y1 = 2130, .x2 = 1710, .y2 = 2550},
    {.name = "Line4", .kind = K::Line, .x1 = 2010, .y1 = 1830, .x2 = 2370, .y2 = 2070},
    {.name = "Line3", .kind = K::Line, .x1 = 2070, .y1 = 1440, .x2 = 2460, .y2 = 1320},
    {.name = "Line2", .kind = K::Line, .x1 = 1740, .y1 = 1080, .x2 = 1980, .y2 = 720},
    {.name = "Line1", .kind = K::Line, .x1 = 1200, .y1 = 1080, .x2 = 960, .y2 = 780, .borderWidth = 3},
    // The inner disc and the ring.
    {.name = "Shape2", .kind = K::Shape, .left = 900, .top = 1020, .width = 1215, .height = 1125,
     .backColor = rt::sys::ScrollBar, .backStyle = st::Opaque, .shape = st::Circle},
    {.name = "Shape1", .kind = K::Shape, .left = 420, .top = 600, .width = 2175, .height = 1995,
     .backColor = kLightYellow, .backStyle = st::Opaque, .shape = st::Circle},
    // Inside fraVysledky.
    {.name = "lblPercent", .container = "fraVysledky", .left = 1740, .top = 810, .width = 435, .height = 195,
     .backColor = kPink, .alignment = st::RightJustify},
    {.name = "lblUspesnost", .container = "fraVysledky", .left = 870, .top = 810, .width = 825, .height = 195,
     .caption = "Úspěšnost:", .backColor = kPink},
    {.name = "lblScore1", .container = "fraVysledky", .left = 150, .top = 330, .width = 405, .height = 255,
     .backColor = rt::sys::Window, .foreColor = rt::sys::WindowText, .borderStyle = st::FixedSingle, .tag = "0"},
    {.name = "lblScore2", .container = "fraVysledky", .left = 540, .top = 330, .width = 405, .height = 255,
     .backColor = rt::sys::Window, .foreColor = rt::sys::WindowText, .borderStyle = st::FixedSingle, .tag = "0"},
    {.name = "lblScore3", .container = "fraVysledky", .left = 930, .top = 330, .width = 405, .height = 255,
     .backColor = rt::sys::Window, .foreColor = rt::sys::WindowText, .borderStyle = st::FixedSingle, .tag = "0"},
    {.name = "lblScore4", .container = "fraVysledky", .left = 1320, .top = 330, .width = 405, .height = 255,
     .backColor = rt::sys::Window, .foreColor = rt::sys::WindowText, .borderStyle = st::FixedSingle, .tag = "0"},
    {.name = "lblScore5", .container = "fraVysledky", .left = 1710, .top = 330, .width = 405, .height = 255,
     .backColor = rt::sys::Window, .foreColor = rt::sys::WindowText, .borderStyle = st::FixedSingle, .tag = "0"},
    {.name = "lblScore6", .container = "fraVysledky", .left = 2100, .top = 330, .width = 405, .height = 255,
     .backColor = rt::sys::Window, .foreColor = rt::sys::WindowText, .borderStyle = st::FixedSingle, .tag = "0"},
    {.name = "lblScore7", .container = "fraVysledky", .left = 2490, .top = 330, .width = 405, .height = 255,
     .backColor = rt::sys::Window, .foreColor = rt::sys::WindowText, .borderStyle = st::FixedSingle, .tag = "0"},
    // Inside fraNumber.
    {.name = "lblNumber", .container = "fraNumber", .left = 120, .top = 180, .width = 225, .height = 345,
     .backColor = kPink, .foreColor = kBlue, .font = &kVerdana1425},
};

// The whole game by keyboard: a digit chooses its number, as a click on its box;
// Enter and Space play the round that is open now, as a click on its label.
// After round 7 no round is open and they do nothing.
using rt::Key;
constexpr rt::KeyBinding kKeys[] = {
    {Key::Digit1, "lblNoSelect1"}, {Key::Digit2, "lblNoSelect2"}, {Key::Digit3, "lblNoSelect3"},
    {Key::Digit4, "lblNoSelect4"}, {Key::Digit5, "lblNoSelect5"}, {Key::Digit6, "lblNoSelect6"},
    {Key::Digit7, "lblNoSelect7"},
    {Key::Enter, "lblClick1"}, {Key::Enter, "lblClick2"}, {Key::Enter, "lblClick3"}, {Key::Enter, "lblClick4"},
    {Key::Enter, "lblClick5"}, {Key::Enter, "lblClick6"}, {Key::Enter, "lblClick7"},
    {Key::Space, "lblClick1"}, {Key::Space, "lblClick2"}, {Key::Space, "lblClick3"}, {Key::Space, "lblClick4"},
    {Key::Space, "lblClick5"}, {Key::Space, "lblClick6"}, {Key::Space, "lblClick7"},
};

// A score label reads as the result its colour shows; before its round, as nothing.
constexpr rt::Color kHitGreen = 0x0000C000;
constexpr rt::Color kMissRed = 0x000000FF;
constexpr rt::ColourText kResults[] = {{kHitGreen, "zásah"}, {kMissRed, "minutí"}};

using R = rt::AccessibleRole;
using V = rt::AccessibleValue;
// The focus goes round the boxes (one stop, the arrows choosing among them) and
// the open round; a played round hands it on to the next. A choice tells the
// number, a round its outcome in one sentence.
constexpr rt::Spoken kChoiceSays[] = {{.valueOf = "lblNumber"}};
#define QUINTAREL_BOX(k) \
  {.role = R::Choice, .control = "lblNoSelect" #k, .label = "lblNoSelectNo" #k, .chosenBy = "lblNumber", \
   .announce = kChoiceSays}
#define QUINTAREL_SAYS(k)                                                                                   \
  constexpr rt::Spoken kRound##k##Says[] = {{.text = "Kolo " #k ": padlo ", .valueOf = "lblNo" #k},         \
                                            {.text = ", ", .valueOf = "lblScore" #k},                       \
                                            {.text = ", úspěšnost ", .valueOf = "lblPercent"}, {.text = "."}};
#define QUINTAREL_ROUND(k)                                                                                  \
  {.role = R::Button, .control = "lblClick" #k, .name = "Kolo " #k, .tabIndex = k, .focusNextWhenDone = true, \
   .announce = kRound##k##Says},                                                                            \
  {.control = "lblNo" #k, .name = "Tažené číslo kola " #k, .value = V::Caption},                            \
  {.control = "lblScore" #k, .name = "Výsledek kola " #k, .value = V::State, .states = kResults}

QUINTAREL_SAYS(1) QUINTAREL_SAYS(2) QUINTAREL_SAYS(3) QUINTAREL_SAYS(4) QUINTAREL_SAYS(5) QUINTAREL_SAYS(6)
QUINTAREL_SAYS(7)

constexpr rt::AccessibleDesign kBoxes[] = {
    QUINTAREL_BOX(1), QUINTAREL_BOX(2), QUINTAREL_BOX(3), QUINTAREL_BOX(4),
    QUINTAREL_BOX(5), QUINTAREL_BOX(6), QUINTAREL_BOX(7),
};

// The controls a screen reader meets, in reading order.
constexpr rt::AccessibleDesign kAccessible[] = {
    {.role = R::Group, .name = "Vyberte číslo", .members = kBoxes, .tabIndex = 0},
    {.control = "lblNumber", .label = "Label1", .value = V::Caption},
    QUINTAREL_ROUND(1), QUINTAREL_ROUND(2), QUINTAREL_ROUND(3), QUINTAREL_ROUND(4),
    QUINTAREL_ROUND(5), QUINTAREL_ROUND(6), QUINTAREL_ROUND(7),
    {.control = "lblPercent", .label = "lblUspesnost", .value = V::Caption},
};

#undef QUINTAREL_BOX
#undef QUINTAREL_ROUND
#undef QUINTAREL_SAYS
// clang-format on

rt::Control& Named(const rt::Form& form, const char* stem, int k) { return form.Ctl(stem + std::to_string(k)); }

}  // namespace

const rt::FormDesign kFrmMainDesign{
    .name = "frmMain",
    .caption = " Quintarel",
    .backColor = kPink,
    .borderStyle = 1,
    .maxButton = false,
    .minButton = true,
    .showInTaskbar = true,
    .icon = true,
    .clientLeft = 3315,
    .clientTop = 2565,
    .clientWidth = 6465,
    .clientHeight = 3555,
    .controls = kControls,
    .keys = kKeys,
    .accessible = kAccessible,
};

FrmMain::FrmMain(rt::Runtime& runtime)
    : rt::Form(runtime, kFrmMainDesign), lblNumber(Ctl("lblNumber")), lblPercent(Ctl("lblPercent")) {}

FrmMain::Round FrmMain::RoundControls(int k) const {
  return {Named(*this, "lblClick", k), Named(*this, "lblNo", k), Named(*this, "lblScore", k)};
}

void FrmMain::Form_Load() {
  // Only round 1 is playable at the start; each round opens the next.
  for (int k = 2; k <= 7; ++k) Named(*this, "lblClick", k).SetEnabled(false);
}

void FrmMain::Form_QueryUnload(rt::EventArgs&) { Rt().End(); }

}  // namespace quintarel

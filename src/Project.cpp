#include "Project.h"

#include "game/Round.h"
#include "game/Selection.h"

namespace quintarel {

namespace {

using rt::Event;

template <int K>
void PlayRoundK(Project& project, rt::EventArgs&) {
  PlayRound(project, K);
}

template <int N>
void SelectNumberN(Project& project, rt::EventArgs&) {
  SelectNumber(project.frmMain(), N);
}

}  // namespace

const std::array<EventBinding, 26> kEventWiring{{
    {"frmMain", "", Event::Load, "Form_Load", [](Project& p, rt::EventArgs&) { p.frmMain().Form_Load(); }},
    {"frmMain", "", Event::QueryUnload, "Form_QueryUnload",
     [](Project& p, rt::EventArgs& a) { p.frmMain().Form_QueryUnload(a); }},
    {"frmMain", "lblClick1", Event::Click, "lblClick1_Click", PlayRoundK<1>},
    {"frmMain", "lblClick2", Event::Click, "lblClick2_Click", PlayRoundK<2>},
    {"frmMain", "lblClick3", Event::Click, "lblClick3_Click", PlayRoundK<3>},
    {"frmMain", "lblClick4", Event::Click, "lblClick4_Click", PlayRoundK<4>},
    {"frmMain", "lblClick5", Event::Click, "lblClick5_Click", PlayRoundK<5>},
    {"frmMain", "lblClick6", Event::Click, "lblClick6_Click", PlayRoundK<6>},
    {"frmMain", "lblClick7", Event::Click, "lblClick7_Click", PlayRoundK<7>},
    {"frmMain", "lblNoSelect1", Event::Click, "lblNoSelect1_Click", SelectNumberN<1>},
    {"frmMain", "lblNoSelect2", Event::Click, "lblNoSelect2_Click", SelectNumberN<2>},
    {"frmMain", "lblNoSelect3", Event::Click, "lblNoSelect3_Click", SelectNumberN<3>},
    {"frmMain", "lblNoSelect4", Event::Click, "lblNoSelect4_Click", SelectNumberN<4>},
    {"frmMain", "lblNoSelect5", Event::Click, "lblNoSelect5_Click", SelectNumberN<5>},
    {"frmMain", "lblNoSelect6", Event::Click, "lblNoSelect6_Click", SelectNumberN<6>},
    {"frmMain", "lblNoSelect7", Event::Click, "lblNoSelect7_Click", SelectNumberN<7>},
    {"frmMain", "lblNoSelectNo1", Event::Click, "lblNoSelectNo1_Click", SelectNumberN<1>},
    {"frmMain", "lblNoSelectNo2", Event::Click, "lblNoSelectNo2_Click", SelectNumberN<2>},
    {"frmMain", "lblNoSelectNo3", Event::Click, "lblNoSelectNo3_Click", SelectNumberN<3>},
    {"frmMain", "lblNoSelectNo4", Event::Click, "lblNoSelectNo4_Click", SelectNumberN<4>},
    {"frmMain", "lblNoSelectNo5", Event::Click, "lblNoSelectNo5_Click", SelectNumberN<5>},
    {"frmMain", "lblNoSelectNo6", Event::Click, "lblNoSelectNo6_Click", SelectNumberN<6>},
    {"frmMain", "lblNoSelectNo7", Event::Click, "lblNoSelectNo7_Click", SelectNumberN<7>},
    {"frmWin", "", Event::Activate, "Form_Activate", [](Project& p, rt::EventArgs&) { p.frmWin().Form_Activate(); }},
    {"frmWin", "", Event::QueryUnload, "Form_QueryUnload",
     [](Project& p, rt::EventArgs& a) { p.frmWin().Form_QueryUnload(a); }},
    {"frmWin", "cmdOK", Event::Click, "cmdOK_Click", [](Project& p, rt::EventArgs&) { p.frmWin().cmdOK_Click(); }},
}};

void BindEvents(Project& project, rt::Form& form) {
  for (const EventBinding& row : kEventWiring) {
    if (row.form != form.Name()) continue;
    form.Bind(row.control, row.event, [&project, call = row.call](rt::EventArgs& args) { call(project, args); });
  }
}

Project::Project(rt::Platform& platform, rt::RandomGenerator& random) : runtime_(platform, random) {}

Project::~Project() = default;

void Project::Start() {
  runtime_.Run([this] {
    FrmMain& form = frmMain();
    runtime_.Show(form);
  });
}

FrmMain& Project::frmMain() {
  if (!frmMain_) {
    frmMain_ = std::make_unique<FrmMain>(runtime_);
    BindEvents(*this, *frmMain_);
    runtime_.Load(*frmMain_);
  }
  return *frmMain_;
}

FrmWin& Project::frmWin() {
  if (!frmWin_) {
    frmWin_ = std::make_unique<FrmWin>(runtime_);
    BindEvents(*this, *frmWin_);
    runtime_.Load(*frmWin_);
  }
  return *frmWin_;
}

}  // namespace quintarel

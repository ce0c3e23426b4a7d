#pragma once

#include <array>
#include <memory>
#include <string_view>

#include "game/Forms.h"

namespace quintarel {

// The program as the runtime is handed it: two forms and the module, started on
// frmMain. frmWin comes into being at its first reference.
class Project final : public GameForms {
 public:
  Project(rt::Platform& platform, rt::RandomGenerator& random);
  ~Project();
  Project(const Project&) = delete;
  Project& operator=(const Project&) = delete;

  rt::Runtime& Rt() override { return runtime_; }

  // Creates and loads frmMain, then shows it.
  void Start();

  FrmMain& frmMain() override;
  // The first reference creates and loads the window hidden, with its design values.
  FrmWin& frmWin() override;
  // For the backends and tests: the window if it exists, without creating it.
  FrmWin* FrmWinIfCreated() { return frmWin_.get(); }

 private:
  rt::Runtime runtime_;
  std::unique_ptr<FrmMain> frmMain_;
  std::unique_ptr<FrmWin> frmWin_;
};

// One row of the program's event wiring: which event of which control calls
// which handler.
struct EventBinding {
  std::string_view form;
  std::string_view control;  // empty: the form itself
  rt::Event event;
  std::string_view handler;
  void (*call)(Project& project, rt::EventArgs& args);
};

extern const std::array<EventBinding, 26> kEventWiring;

// Binds the rows of the table that belong to the form.
void BindEvents(Project& project, rt::Form& form);

}  // namespace quintarel

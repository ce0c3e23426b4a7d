#pragma once

#include <memory>
#include <optional>
#include <vector>

#include "runtime/Geometry.h"
#include "runtime/Platform.h"
#include "runtime/Runtime.h"

namespace quintarel::web {

class CursorClip;
class FormWindow;

// The runtime's ports in a web page: the page is the screen, each form a window
// on it that the program draws, frame and all, on a canvas of its own; the
// message box a modal dialog of the page; the confinement the page's hold of
// the pointer.
class WebPlatform : public rt::Platform {
 public:
  WebPlatform();
  ~WebPlatform() override;
  WebPlatform(const WebPlatform&) = delete;
  WebPlatform& operator=(const WebPlatform&) = delete;

  void Attach(rt::Runtime& runtime) { runtime_ = &runtime; }
  rt::Runtime& Runtime() const { return *runtime_; }

  int MessageBox(std::string_view prompt, int style, std::string_view title) override;
  void ClipCursor(const rt::ClipRect* rect) override;
  rt::ScreenInfo Screen() const override;
  rt::PixelRect OuterRect(const rt::Form& form) const override;
  void ShowForm(rt::Form& form) override;
  void Changed(rt::Form& form, const rt::Control* control) override;
  void FocusChanged(rt::Form& form) override;
  void Announce(rt::Form& form, std::string_view text) override;
  void Quit() override;

  // The page's input, by window.
  FormWindow* Window(int id) const;
  // The window came to the front and takes the keyboard.
  void Activate(FormWindow& window);
  const FormWindow* ActiveWindow() const { return active_; }
  // The topmost shown window whose outer rectangle holds the screen point.
  FormWindow* WindowAt(rt::PixelPoint screen) const;
  CursorClip& Clip() const { return *clip_; }
  bool Ended() const { return ended_; }
  // The page was resized or zoomed: the screen is asked for again.
  void ScreenChanged();

  // One event of the page's, painted once when it is done, however many
  // changes it makes: a paint asked for inside it marks the window.
  class Batch {
   public:
    explicit Batch(WebPlatform& platform) : platform_(platform) { ++platform_.batch_; }
    ~Batch() {
      if (--platform_.batch_ == 0) platform_.PaintMarked();
    }
    Batch(const Batch&) = delete;
    Batch& operator=(const Batch&) = delete;

   private:
    WebPlatform& platform_;
  };
  bool Batching() const { return batch_ > 0; }
  void Mark(FormWindow& window);
  // Paints the marked windows now: at the end of an event, and before the
  // program waits in a message box, so that the page shows what led to it.
  void PaintMarked();

 private:
  FormWindow* WindowFor(const rt::Form& form) const;
  void ExtendScreen() const;

  rt::Runtime* runtime_ = nullptr;
  std::vector<std::unique_ptr<FormWindow>> windows_;
  std::vector<FormWindow*> stacking_;  // back to front
  std::unique_ptr<CursorClip> clip_;
  FormWindow* active_ = nullptr;
  rt::WindowPlacer placer_;
  bool ended_ = false;
  mutable std::optional<rt::ScreenInfo> screen_;
  int batch_ = 0;
  std::vector<FormWindow*> marked_;
};

}  // namespace quintarel::web

#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "skin/win32/BmpButton.h"
#include "skin/win32/Dib.h"
#include "skin/win32/FormShape.h"
#include "skin/win32/NativeWindow.h"
#include "workflow/UpdateView.h"
#include "workflow/UpdateWorkflow.h"

// A rectangle of the window: left, top, width and height in pixels.
struct TBounds {
    int Left = 0;
    int Top = 0;
    int Width = 0;
    int Height = 0;
};

// The update window drawn with GDI and the skinned controls: the program's
// only window. It shows what its workflow (Workflow) tells it and hands the
// timer's ticks and the buttons' clicks to it. The label and the two bar
// images are drawn by the window itself, above the shape's picture; the
// two buttons are child windows above everything else. OK is the window's
// default button: focused once the download is complete, and pressed by
// Enter while it is enabled.
class TfrmUpdateMain : public TNativeWindow, public IUpdateView {
  public:
    // Ends the message loop; the default posts WM_QUIT.
    using TEndLoop = std::function<void()>;

    // `steps` must outlive the window. The window is created hidden.
    explicit TfrmUpdateMain(IUpdateSteps& steps, TWorkflowTimings timings = {},
                            TEndLoop endLoop = {});
    ~TfrmUpdateMain() override;

    // Shows the window centred on the screen, above other windows, with the
    // keyboard focus on the window itself.
    void Show();

    void SetLabelCaption(const std::string& caption) override;
    void SetBarWidth(int width) override;
    void SetOkEnabled(bool enabled) override;
    void StartTimer(int intervalMs) override;
    void StopTimer() override;
    void Close() override;
    bool Shown() const override;
    void EndProgram() override;
    void Defer(std::function<void()> action) override;

    // What the window shows, for its tests.
    const std::string& LabelCaption() const { return caption_; }
    TBounds LabelBounds() const { return label_; }
    TBounds BarBounds() const { return image2_; }

    std::unique_ptr<TFormShape> FormShape1;
    std::unique_ptr<TBmpButton> btnOk;
    std::unique_ptr<TBmpButton> btnCancel;
    std::unique_ptr<TUpdateWorkflow> Workflow;

  protected:
    MessageResult HandleMessage(unsigned message, MessageWParam wParam,
                                MessageLParam lParam) override;

  private:
    void CreateControls();
    std::unique_ptr<TBmpButton> NewButton(const std::wstring& name, int x, int y);
    bool OnGraphicControl(MessageLParam lParam) const;
    bool HandleKey(MessageWParam key);
    void PaintContent(HDC dc) const;
    void Paint();
    void RunDeferred(uint64_t id);
    void Destroyed();

    HFONT font_ = nullptr;
    TDib barBack_;
    TDib barFill_;
    std::string caption_;
    TBounds label_{272, 42, 120, 12};
    TBounds image1_{16, 80, 393, 17};
    TBounds image2_{18, 81, 7, 14};
    std::map<uint64_t, std::function<void()>> deferred_;
    uint64_t lastDeferred_ = 0;
    TEndLoop endLoop_;
};

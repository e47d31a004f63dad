// The shape box: a rectangle with an optional border and background, and the container that draws and hit-tests
// its windowless cells (copies of draw panels and check boxes).
#pragma once

#include <vector>

#include "ui/control.h"

namespace ui {

class ShapeBox : public Control {
public:
    using Control::Control;

    bool IsContainer() const override { return true; }
    HBRUSH BackgroundBrush() const override;

    void AddCell(Control* cell);
    void RemoveCell(Control* cell);
    void InvalidateArea(const RECT& area);
    const std::vector<Control*>& cells() const { return cells_; }
    // The topmost visible cell at a point of the client area, or null.
    Control* CellAt(int x, int y) const;
    // Mouse capture on behalf of a cell: input goes to that cell until released.
    void CaptureFor(Control* cell);
    void ReleaseFor(Control* cell);

    LRESULT OnMessage(UINT message, WPARAM wparam, LPARAM lparam) override;
    void CopyStateFrom(const Control& source) override;
    void OnNativeWindowGone() override;

protected:
    WindowClassAndStyle ClassAndStyle() const override;
    bool ApplyStored(const UnitValue& value) override;
    rt::PropertyValue ReadOwn(int32_t index) override;
    void WriteOwn(int32_t index, rt::PropertyValue value) override;

private:
    void Paint(HDC dc, const RECT& area);
    bool RouteMouseToCell(UINT message, WPARAM wparam, LPARAM lparam);

    int32_t shape_ = 0;
    int32_t borderStyle_ = 0;  // 0 none, 1 solid
    int32_t borderWidth_ = 1;
    uint32_t borderColor_ = 0;
    uint32_t backColor_ = kDefaultColor;
    std::vector<Control*> cells_;  // bottom to top
    Control* captured_ = nullptr;
    RECT pendingArea_ = {0, 0, 0, 0};  // invalidated areas not yet handed to the window system
    bool flushPosted_ = false;
};

}  // namespace ui

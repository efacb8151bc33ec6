#include "framework/group_box_win.h"

namespace tolvar {

namespace {
// The caption stands in a gap of the frame's top edge, this far from its left.
constexpr int kCaptionLeft = 8;
constexpr int kCaptionPadding = 2;
}  // namespace

GroupBox::GroupBox(WindowedControl& parent, int left, int top, int width, int height,
                   const std::string& caption)
    : Panel(parent, left, top, width, height), caption_(caption) {
    accessible.role = AccessibleRole::Grouping;
}

void GroupBox::setCaption(const std::string& caption) {
    caption_ = caption;
    invalidate();
}

void GroupBox::paintBackground(HDC dc) const {
    WindowedControl::paintBackground(dc);
    RECT client{0, 0, bounds_.width, bounds_.height};
    GetClientRect(handle(), &client);

    ScopedSelect font(dc, controlFont());
    TEXTMETRICA metrics{};
    GetTextMetricsA(dc, &metrics);
    // The top edge runs through the middle of the caption.
    RECT frame = client;
    frame.top = metrics.tmHeight / 2;
    DrawEdge(dc, &frame, EDGE_ETCHED, BF_RECT);
    if (caption_.empty()) return;

    const int length = static_cast<int>(caption_.size());
    SIZE size{};
    GetTextExtentPoint32A(dc, caption_.c_str(), length, &size);
    RECT gap{kCaptionLeft, 0, kCaptionLeft + size.cx + 2 * kCaptionPadding, metrics.tmHeight};
    UniqueBrush background(CreateSolidBrush(color()));
    FillRect(dc, &gap, background.get());
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(enabled_ ? COLOR_BTNTEXT : COLOR_GRAYTEXT));
    TextOutA(dc, kCaptionLeft + kCaptionPadding, 0, caption_.c_str(), length);
}

void GroupBox::enabledChanged() {
    Panel::enabledChanged();
    invalidate();  // the caption greys
}

}  // namespace tolvar

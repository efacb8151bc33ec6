#pragma once

// A frame with a caption in its top edge around a group of controls, which
// are its children.

#include <string>

#include "framework/panel_win.h"

namespace tolvar {

class GroupBox : public Panel {
public:
    GroupBox(WindowedControl& parent, int left, int top, int width, int height,
             const std::string& caption);

    const std::string& caption() const { return caption_; }
    void setCaption(const std::string& caption);
    std::string captionText() const override { return caption_; }

protected:
    void paintBackground(HDC dc) const override;
    void enabledChanged() override;

private:
    std::string caption_;
};

}  // namespace tolvar

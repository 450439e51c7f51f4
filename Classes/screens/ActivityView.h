#pragma once

#include "Classes/screens/Geometry.h"

#include <functional>
#include <string>

namespace orvaneh {

// The modal wait box: a rounded translucent box centred over the window, with a spinning
// indicator or a progress bar and the "please wait" label. It holds what the view draws and
// also tells the process's user interface (UserInterface::shared()), so that the console and
// headless interfaces show the same wait. Main run loop only.
class ActivityView {
public:
    static constexpr double kWidth = 200;
    static constexpr double kHeight = 100;
    static constexpr double kCornerRadius = 15;
    static constexpr double kOpacity = 0.7;
    static constexpr double kProgressBarWidth = 180;

    // The box centred in a window of that size.
    static Rect frameIn(double windowWidth, double windowHeight);
    static std::string label();

    // Shows the box (again) with a progress bar or a spinning indicator; progress starts at 0.
    void showWithModeIsProgressBar(bool progressBar);
    // The bar's position, clamped to 0..1 (a value that is no number counts as 0).
    void progressBarPrct(double progress);
    void close();

    bool isShown() const { return shown_; }
    bool progressMode() const { return progressMode_; }
    double progress() const { return progress_; }

    // Called after every change of what the view shows.
    void setChangeCallback(std::function<void()> callback) { changeCallback_ = std::move(callback); }

private:
    bool shown_ = false;
    bool progressMode_ = false;
    double progress_ = 0;
    std::function<void()> changeCallback_;

    void changed() const;
};

} // namespace orvaneh

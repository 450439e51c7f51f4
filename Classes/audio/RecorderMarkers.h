#pragma once

#include "Classes/audio/PinCursor.h"

#include <optional>
#include <string>

namespace orvaneh {

// The recorder's two cut markers as times on the current track, and the passage they
// delimit: which touch places or removes which marker, at most one selected, and the band
// (from one marker to the other, or to the end of the track when only one is placed). Knows
// nothing of where they are drawn (RecorderLayout does).
class RecorderMarkers {
public:
    static constexpr const char* kAddImage = "markerAdd";
    static constexpr const char* kDeleteImage = "markerDelete";

    // A passage of the track in seconds, from <= to.
    struct Range {
        double from = 0;
        double to = 0;
        bool operator==(const Range&) const = default;
    };

    const PinCursor& first() const { return first_; }
    const PinCursor& second() const { return second_; }
    bool anyPlaced() const { return first_.controlState() || second_.controlState(); }
    // The marker button's image.
    const std::string& buttonImage() const { return buttonImage_; }

    // The marker button with the cursor at `cursor`: places marker 1, else marker 2, else
    // removes the selected one, else removes both. A marker not selected by a touch is placed
    // before one is removed.
    void placeOrRemove(float cursor);
    // A touch on marker 1 or 2 toggles its selection; the other one loses its own.
    void touch(int which);
    // Both unplaced.
    void removeAll();
    // The passage the band shows and a cut removes: between the placed markers, an unplaced one
    // standing for `end`; none when no marker is placed.
    std::optional<Range> band(double end) const;

private:
    PinCursor first_;
    PinCursor second_;
    std::string buttonImage_ = kAddImage;

    static void place(PinCursor& marker, float cursor);
};

} // namespace orvaneh

#pragma once

#include "Classes/screens/Geometry.h"
#include "Classes/screens/SuperController.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace orvaneh {

class RgbImage;

// The photographs of one dictation: a two-column grid of the JPEG files "N-k.jpg" of the
// documents directory, pictures added from an image file (the desktop's stand-in for the camera
// and the photo library), and deletion after a question. Main run loop only.
class PicturesViewController : public SuperController {
public:
    // The size every picture is stored at, in pixels.
    static constexpr int kPictureWidth = 1200;
    static constexpr int kPictureHeight = 800;
    static constexpr int kJpegQuality = 90;
    static constexpr const char* kNoPictureImage = "noPicture";
    // How many names other processes may take under one picture's feet before it gives up.
    static constexpr unsigned kMaxNameCollisions = 100;

    struct GridItem {
        std::string name; // "N-k.jpg"
        std::string path; // in the documents directory
        // kNoPictureImage when the file cannot be read as an image, otherwise empty.
        std::string placeholderImage;
    };

    std::string screenName() const override { return "PicturesViewController"; }
    std::string title() const override;

    // The dictation being sent on this profile, 0 when none. The sender lives above the screens,
    // so whoever opens the screen hands the question in; without it nothing counts as being sent.
    using SendingProbe = std::function<std::int64_t()>;

    void setDicteeId(std::int32_t dicteeId) { dicteeId_ = dicteeId; }
    std::int32_t dicteeId() const { return dicteeId_; }
    void setSendingProbe(SendingProbe probe) { sendingProbe_ = std::move(probe); }
    // Reads the dictation's pictures again, ordered by their number ("N-2.jpg" before "N-10.jpg").
    void loadPictures();
    const std::vector<std::string>& pictures() const { return pictures_; }

    // The grid: the width of an item for a view that wide, and what each item shows.
    static double itemWidth(double viewWidth) { return (viewWidth - 16) / 2; }
    std::vector<GridItem> items() const;

    // Where an image of that size is drawn on the stored picture: one taller than wide at the
    // full height, its width in proportion, centred between empty (black) bands; any other
    // stretched over the whole picture.
    static Rect sizeForPickedImage(int width, int height);

    // Whether pictures may be added or deleted now: not while the dictation is being sent (the
    // office would get the set read at its start) nor once it is sent (nothing goes any more).
    // Viewing is always allowed; a view greys its add and delete buttons on false.
    bool editable() const { return changeRefusal().empty(); }

    // Adds the image of `path` (JPEG or PNG, turned upright as its Exif data asks) as the
    // dictation's next picture. False, with a banner saying why and nothing written, when it
    // cannot be read or stored, or the pictures cannot change; message() keeps the last banner.
    bool addPictureFromFile(const std::filesystem::path& path);
    // The name of the last picture added.
    const std::string& lastSavedName() const { return lastSavedName_; }
    const std::string& message() const { return message_; }

    // Asks whether to delete the picture at `index`, and deletes its file when the answer is
    // yes; `done` learns whether it went. False when there is no picture at `index`, or, with a
    // banner, when the pictures cannot change (nothing is asked).
    bool deletePictureAtIndex(std::size_t index, std::function<void(bool deleted)> done = {});

private:
    // The picture laid out at its stored size.
    static RgbImage compose(const RgbImage& image);
    // Stores the picture under the next free name of the counter. False with a banner.
    bool saveImage(const RgbImage& picture);
    bool refuse(const std::string& text);
    // Why the pictures cannot change now, in French; empty when they can.
    std::string changeRefusal() const;

    std::int32_t dicteeId_ = 0;
    SendingProbe sendingProbe_;
    std::vector<std::string> pictures_;
    // Counts the names tried on this screen; the first one carries 1.
    unsigned long fileId_ = 0;
    std::string lastSavedName_;
    std::string message_;
    // Lets a late answer to the delete question know the screen is still there.
    std::shared_ptr<char> alive_ = std::make_shared<char>();
};

} // namespace orvaneh

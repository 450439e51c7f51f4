#pragma once

#include "Classes/screens/Geometry.h"
#include "Classes/screens/SuperController.h"
#include "Platform/image/CodeReader.h"

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace orvaneh {

// The code reader: the camera's picture with a square target, read until exactly one code is
// seen inside the target; its text goes to the screen that opened the reader, which closes it.
// A picture file or an image from the clipboard can be read instead. Without a camera (the
// desktop may have none) the reader says so and stays open for a picture. Main run loop only.
class QRCodeReaderViewController : public SuperController {
public:
    // A camera as the reader sees it. The view or the platform owns the device and delivers
    // its frames, upright, on the main run loop.
    class Camera {
    public:
        using FrameHandler = std::function<void(const CodeReader::Frame& frame)>;
        virtual ~Camera() = default;
        // Starts delivering frames to `handler`; false when the camera cannot be opened
        // (absent, busy, access refused).
        virtual bool start(FrameHandler handler) = 0;
        virtual void stop() = 0;
    };

    // Receives the reader and the text read ("" for a code without text).
    using Callback = std::function<void(QRCodeReaderViewController& scanner, const std::string& text)>;

    static constexpr double kHoleSide = 210;
    static constexpr double kCornerStroke = 8;
    static constexpr double kCornerArm = 25;

    // What reading one picture gave: the single code's text, or the French reason there is none.
    struct PictureReading {
        std::string text;
        std::string error;
        bool ok() const { return error.empty(); }
    };

    QRCodeReaderViewController();
    // A reader that hands the text to `onResult`, as the openers of the screens that offer a
    // scan button want it; `camera` may be none.
    static std::shared_ptr<QRCodeReaderViewController>
    makeFor(std::function<void(const std::string&)> onResult, std::shared_ptr<Camera> camera = nullptr);
    ~QRCodeReaderViewController() override;

    std::string screenName() const override { return "QRCodeReader"; }
    // The close button takes the place of the back button.
    bool shouldDisplayBackButton() const override { return false; }

    static std::string helpLabel();
    static std::string closeButtonTitle();

    // Copied; set by the opener before the reader is shown.
    void setCallback(Callback callback) { callback_ = std::move(callback); }
    void setCamera(std::shared_ptr<Camera> camera) { camera_ = std::move(camera); }
    // The view shows the camera's picture when it knows the kind of camera.
    const std::shared_ptr<Camera>& camera() const { return camera_; }

    // The capture area, as the view lays it out; the target is centred in it.
    void setCaptureBounds(Rect bounds);
    const Rect& captureBounds() const { return captureBounds_; }
    // The target's hole (210 × 210, centred): only codes inside it are read from the camera.
    Rect holeBounds() const;
    static Rect holeBoundsIn(const Rect& overlay);
    // The red corner marks around the hole: two arms per corner, as filled rectangles.
    std::vector<Rect> cornerMarks() const;
    static Color cornerColor() { return {1, 0, 0, 1}; }
    // The outline of the code read, in the capture area's points; empty until a code is read.
    const std::vector<CodeReader::Point>& shape() const { return shape_; }

    // Each time the screen has appeared: starts the camera. False, after the camera-access
    // alert, when there is no camera or it cannot be opened.
    bool startReading();
    void viewDidAppear() { startReading(); }
    bool reading() const { return reading_; }
    // Whether a camera session exists (from the first start until close).
    bool captureSessionOpen() const { return sessionOpen_; }
    // The close button: stops the camera and closes the screen without a result.
    void close();

    // A frame of the camera: the codes inside the target are looked for.
    void frameCaptured(const CodeReader::Frame& frame);
    // The codes found in a camera frame of that size: exactly one ends reading and is handed
    // over; none or several and reading goes on.
    void captureOutput(const std::vector<CodeReader::Symbol>& symbols, int frameWidth, int frameHeight);

    // A picture file, or the clipboard's image: its single code is handed over; otherwise an
    // alert says why (unreadable, no code, several codes). True when a code was handed over.
    bool readPictureFile(const std::filesystem::path& path);
    bool readPicture(const CodeReader::Frame& frame);
    // The same for a picture read elsewhere: a view may read a large file on a worker thread
    // (CodeReader keeps no state) and hand the result over on the main run loop.
    bool pictureRead(const CodeReader::Result& result);
    // The single code of a picture file, without any screen (the command line).
    static PictureReading readSingleCode(const std::filesystem::path& path);
    static PictureReading singleCodeOf(const CodeReader::Result& result);

    // The alert shown when no camera can be used.
    void showErrorMessage(const std::string& text);
    static std::string cameraNotAvailableText();

private:
    Callback callback_;
    std::shared_ptr<Camera> camera_;
    Rect captureBounds_;
    std::vector<CodeReader::Point> shape_;
    bool reading_ = false;
    bool sessionOpen_ = false;
    // Frames delivered after the screen is gone find it so.
    std::shared_ptr<char> alive_ = std::make_shared<char>();

    // The picture fills the capture area with aspect fill: its centre part is what shows.
    struct Fill {
        double scale = 1;
        double dx = 0;
        double dy = 0;
    };
    Fill fillFor(int frameWidth, int frameHeight) const;
    CodeReader::Region regionOfInterest(int frameWidth, int frameHeight) const;
    void stopReading();
    void deliver(const std::string& text);
    static void alert(const std::string& text);
};

} // namespace orvaneh

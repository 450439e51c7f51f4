#include "Classes/workflow/QRCodeReaderViewController.h"

#include "Platform/localisation/Localization.h"
#include "Platform/log/Log.h"
#include "Platform/ui/UserInterface.h"

#include <algorithm>
#include <cmath>

namespace orvaneh {

namespace {

constexpr int kAlertTag = 630;
// A phone's screen, until the view lays the capture area out.
constexpr Rect kDefaultCaptureBounds{0, 0, 320, 568};

} // namespace

QRCodeReaderViewController::QRCodeReaderViewController() : captureBounds_(kDefaultCaptureBounds) {}

std::shared_ptr<QRCodeReaderViewController>
QRCodeReaderViewController::makeFor(std::function<void(const std::string&)> onResult,
                                    std::shared_ptr<Camera> camera) {
    auto reader = std::make_shared<QRCodeReaderViewController>();
    reader->setCamera(std::move(camera));
    reader->setCallback(
        [onResult = std::move(onResult)](QRCodeReaderViewController&, const std::string& text) {
            if (onResult) {
                onResult(text);
            }
        });
    return reader;
}

QRCodeReaderViewController::~QRCodeReaderViewController() {
    if (reading_ && camera_) {
        camera_->stop();
    }
}

std::string QRCodeReaderViewController::helpLabel() {
    return localized("CODE_READER_HELP", "Placez le code dans le cadre");
}

std::string QRCodeReaderViewController::closeButtonTitle() {
    return localized("CODE_READER_CLOSE", "Fermer");
}

std::string QRCodeReaderViewController::cameraNotAvailableText() {
    return localized(
        "CODE_READER_CAMERA_NOT_AVAILABLE_ERROR",
        "Le lecteur de code ne peut accèder à l'appareil photo.\n\nVeuillez vérifier vos paramètres "
        "de confidentialité.");
}

void QRCodeReaderViewController::setCaptureBounds(Rect bounds) {
    captureBounds_ = bounds;
    changed();
}

Rect QRCodeReaderViewController::holeBoundsIn(const Rect& overlay) {
    return {overlay.x + (overlay.width - kHoleSide) / 2, overlay.y + (overlay.height - kHoleSide) / 2,
            kHoleSide, kHoleSide};
}

Rect QRCodeReaderViewController::holeBounds() const {
    return holeBoundsIn(captureBounds_);
}

std::vector<Rect> QRCodeReaderViewController::cornerMarks() const {
    const Rect hole = holeBounds();
    const double right = hole.x + hole.width;
    const double bottom = hole.y + hole.height;
    const double s = kCornerStroke, a = kCornerArm;
    return {
        {hole.x, hole.y, a, s},        {hole.x, hole.y, s, a},        // top left
        {right - a, hole.y, a, s},     {right - s, hole.y, s, a},     // top right
        {hole.x, bottom - s, a, s},    {hole.x, bottom - a, s, a},    // bottom left
        {right - a, bottom - s, a, s}, {right - s, bottom - a, s, a}, // bottom right
    };
}

bool QRCodeReaderViewController::startReading() {
    if (reading_) {
        return true;
    }
    if (!camera_) {
        Log::write("Lecteur de code : aucun appareil photo");
        showErrorMessage(cameraNotAvailableText());
        return false;
    }
    std::weak_ptr<char> alive = alive_;
    const bool started = camera_->start([this, alive](const CodeReader::Frame& frame) {
        if (alive.lock()) {
            frameCaptured(frame);
        }
    });
    if (!started) {
        Log::write("Lecteur de code : l'appareil photo n'a pas pu être ouvert");
        showErrorMessage(cameraNotAvailableText());
        return false;
    }
    sessionOpen_ = true;
    reading_ = true;
    changed();
    return true;
}

void QRCodeReaderViewController::stopReading() {
    if (reading_) {
        reading_ = false;
        if (camera_) {
            camera_->stop();
        }
    }
}

void QRCodeReaderViewController::close() {
    stopReading();
    sessionOpen_ = false;
    cancel();
}

QRCodeReaderViewController::Fill QRCodeReaderViewController::fillFor(int frameWidth, int frameHeight) const {
    Fill fill;
    if (frameWidth <= 0 || frameHeight <= 0 || captureBounds_.width <= 0 || captureBounds_.height <= 0) {
        return fill;
    }
    fill.scale = std::max(captureBounds_.width / frameWidth, captureBounds_.height / frameHeight);
    fill.dx = captureBounds_.x + (captureBounds_.width - frameWidth * fill.scale) / 2;
    fill.dy = captureBounds_.y + (captureBounds_.height - frameHeight * fill.scale) / 2;
    return fill;
}

CodeReader::Region QRCodeReaderViewController::regionOfInterest(int frameWidth, int frameHeight) const {
    const Fill fill = fillFor(frameWidth, frameHeight);
    const Rect hole = holeBounds();
    const double left = std::floor((hole.x - fill.dx) / fill.scale);
    const double top = std::floor((hole.y - fill.dy) / fill.scale);
    const double right = std::ceil((hole.x + hole.width - fill.dx) / fill.scale);
    const double bottom = std::ceil((hole.y + hole.height - fill.dy) / fill.scale);
    // Clipped to the frame, so that the conversion to int cannot overflow.
    auto clip = [](double value, int limit) {
        return static_cast<int>(std::clamp(value, 0.0, double(limit)));
    };
    const int x = clip(left, frameWidth), y = clip(top, frameHeight);
    return {x, y, clip(right, frameWidth) - x, clip(bottom, frameHeight) - y};
}

void QRCodeReaderViewController::frameCaptured(const CodeReader::Frame& frame) {
    if (!reading_) {
        return; // delivered after the camera was stopped
    }
    const auto result = CodeReader::readFrame(frame, regionOfInterest(frame.width, frame.height));
    if (!result.ok()) {
        Log::write("Lecteur de code : " + result.error);
        return;
    }
    captureOutput(result.symbols, frame.width, frame.height);
}

void QRCodeReaderViewController::captureOutput(const std::vector<CodeReader::Symbol>& symbols, int frameWidth,
                                               int frameHeight) {
    // Two codes in the target at once: which one was meant is not known yet.
    if (!reading_ || symbols.size() != 1) {
        return;
    }
    stopReading();
    const Fill fill = fillFor(frameWidth, frameHeight);
    shape_.clear();
    for (const auto& corner : symbols[0].corners) {
        shape_.push_back({corner.x * fill.scale + fill.dx, corner.y * fill.scale + fill.dy});
    }
    changed();
    deliver(symbols[0].text);
}

QRCodeReaderViewController::PictureReading
QRCodeReaderViewController::singleCodeOf(const CodeReader::Result& result) {
    PictureReading reading;
    if (!result.ok()) {
        reading.error = result.error;
    } else if (result.symbols.empty()) {
        reading.error = localized("CODE_READER_NO_CODE", "Aucun code n'a été trouvé dans l'image.");
    } else if (result.symbols.size() > 1) {
        reading.error =
            localized("CODE_READER_SEVERAL_CODES",
                      "L'image contient plusieurs codes : choisissez une image qui n'en montre qu'un.");
    } else {
        reading.text = result.symbols[0].text;
    }
    return reading;
}

QRCodeReaderViewController::PictureReading
QRCodeReaderViewController::readSingleCode(const std::filesystem::path& path) {
    return singleCodeOf(CodeReader::readFile(path));
}

bool QRCodeReaderViewController::readPictureFile(const std::filesystem::path& path) {
    return pictureRead(CodeReader::readFile(path));
}

bool QRCodeReaderViewController::readPicture(const CodeReader::Frame& frame) {
    return pictureRead(CodeReader::readFrame(frame));
}

bool QRCodeReaderViewController::pictureRead(const CodeReader::Result& result) {
    const PictureReading reading = singleCodeOf(result);
    if (!reading.ok()) {
        Log::write("Lecteur de code : " + reading.error);
        alert(reading.error);
        return false;
    }
    // The picture is not the camera's: no outline over the capture area.
    stopReading();
    changed();
    deliver(reading.text);
    return true;
}

void QRCodeReaderViewController::deliver(const std::string& text) {
    Log::write("Lecteur de code : code lu");
    // The opener usually closes and releases this screen in its callback.
    const Callback callback = callback_;
    if (callback) {
        callback(*this, text);
    }
}

void QRCodeReaderViewController::showErrorMessage(const std::string& text) {
    alert(text);
}

void QRCodeReaderViewController::alert(const std::string& text) {
    UserInterface::shared().presentChoices(
        "", text, {{localized("QR_CODE_READER_OK", "Ok"), UserInterface::Choice::Style::Cancel}}, kAlertTag,
        [](int) {});
}

} // namespace orvaneh

#pragma once

#include "Platform/notifications/NotificationCenter.h"

#include <QWidget>

class QLabel;
class QProgressBar;

namespace orvaneh {

// The status bar's note while the sender delivers a dictation: which file of the job is going
// (FTP tells "EnvoiProgress" with its rank), how much of the file the transcription service has
// accepted (its "EnvoiProgress" counts parts), or a busy bar when the transport does not say;
// hidden between attempts. Follows the sender's notices on the main loop.
class SendProgressView : public QWidget {
    Q_OBJECT
public:
    explicit SendProgressView(QWidget* parent = nullptr);

private:
    QLabel* text_;
    QProgressBar* bar_;
    Observation opened_;
    Observation progressed_;
    Observation closed_;
    Observation ended_;

    void started();
    void stepped(const Json& info);
    void stopped();
};

} // namespace orvaneh

// One picture exported in the background: computed on every core with
// several samples per pixel and written a band of rows at a time as it is
// computed (PNG and TIFF, so that it may be larger than memory; other
// formats whole), carrying its settings and samples, then its parameter
// file as Save As writes it. Nothing of the window is touched meanwhile.
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "settings_record.h"

namespace app {

struct ExportRequest {
    params::SettingsRecord settings;  // the picture's settings; their size is replaced
    int width = 0;
    int height = 0;
    int factor = 1;
    QString path;
    std::vector<std::string> pluginFolders;
};

class ExportRun : public QObject {
    Q_OBJECT
public:
    explicit ExportRun(ExportRequest request, QObject* parent = nullptr);
    // Cancels a run still going and waits for it.
    ~ExportRun() override;

    void start();
    // Stops at the next row; once the files are being written, they are
    // written whole.
    void cancel() { cancelled_ = true; }
    bool running() const { return running_; }
    // Whether the picture file was written, and where.
    bool written() const { return written_; }
    const QString& path() const { return request_.path; }

signals:
    // Output rows done of `total`, and an estimate of the seconds left.
    void progressed(int done, int total, double secondsLeft);
    // The picture is computed; the files are being written.
    void writing();
    // `error` is empty on success; a cancelled run has written nothing.
    void finished(bool cancelled, const QString& error);

private:
    void run();
    void compute();

    ExportRequest request_;
    std::thread thread_;
    std::atomic<bool> cancelled_{false};
    std::atomic<bool> running_{false};
    std::atomic<bool> written_{false};
};

}  // namespace app

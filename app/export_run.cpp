#include "export_run.h"

#include <QFile>
#include <QMetaObject>

#include "band_writer.h"
#include "frame_record.h"
#include "guarded_application.h"
#include "parameter_file.h"
#include "picture_files.h"
#include "supersampling.h"

namespace app {

namespace {
// Collects what the computation would show, for one message at the end.
class CollectingSink : public engine::MessageSink {
public:
    void ShowMessage(const std::string& text, const std::string&) override {
        if (!texts.contains(QString::fromStdString(text))) texts << QString::fromStdString(text);
    }
    QStringList texts;
};
}  // namespace

ExportRun::ExportRun(ExportRequest request, QObject* parent) : QObject(parent), request_(std::move(request)) {}

ExportRun::~ExportRun() {
    cancelled_ = true;
    if (thread_.joinable()) thread_.join();
}

void ExportRun::start() {
    running_ = true;
    thread_ = std::thread([this] { run(); });
}

void ExportRun::run() {
    // Runs on a thread of its own: nothing it throws may leave it.
    try {
        compute();
    } catch (...) {
        running_ = false;
        const QString text = GuardedApplication::FaultText(std::current_exception());
        QMetaObject::invokeMethod(this, [this, text] { emit finished(false, text); }, Qt::QueuedConnection);
    }
}

void ExportRun::compute() {
    const auto report = [this](bool cancelled, const QString& error) {
        running_ = false;
        QMetaObject::invokeMethod(this, [this, cancelled, error] { emit finished(cancelled, error); },
                                  Qt::QueuedConnection);
    };
    CollectingSink messages;
    params::RecordedPicture picture;
    params::RestorePicture(request_.settings, picture, messages, "export");
    picture.settings.ImageWidth = request_.width;
    picture.settings.ImageHeight = request_.height;
    picture.samples = request_.factor;

    engine::SupersampledPicture job;
    job.settings = picture.settings;
    job.view = picture.view;
    job.width = request_.width;
    job.height = request_.height;
    job.factor = request_.factor;
    job.pluginFolders = request_.pluginFolders;
    if (const std::string problem = engine::SupersampleProblem(job); !problem.empty()) {
        return report(false, QString::fromStdString(problem));
    }
    // The picture goes to the file a band at a time as it is computed
    // (PNG and TIFF; other formats are gathered whole), with its settings.
    const std::string path = QFile::encodeName(request_.path).toStdString();
    imaging::BandWriter writer;
    const std::string comment = params::SettingsComment(params::RecordPicture(picture));
    if (const std::string error = writer.Open(path, request_.width, request_.height, comment); !error.empty()) {
        return report(false, QString::fromStdString(error));
    }
    std::string writeError;
    const auto started = std::chrono::steady_clock::now();
    const engine::SupersampleOutcome outcome = engine::ComputeSupersampledBands(
        job, messages,
        [&writer, &writeError](const imaging::Picture& band, int32_t rows, int32_t) {
            writeError = writer.WriteRows(band.Row(0), rows);
            return writeError.empty();
        },
        0,
        [this, started](int32_t done, int32_t total) {
            const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
            const double left = done > 0 ? elapsed * (total - done) / done : 0.0;
            QMetaObject::invokeMethod(this, [this, done, total, left] { emit progressed(done, total, left); },
                                      Qt::QueuedConnection);
            return !cancelled_;
        });
    if (outcome == engine::SupersampleOutcome::Cancelled || (outcome == engine::SupersampleOutcome::Done && cancelled_)) {
        writer.Abandon();
        return report(true, QString());
    }
    if (outcome == engine::SupersampleOutcome::Failed) {
        writer.Abandon();
        QStringList problems = messages.texts;
        if (!writeError.empty()) problems << QString::fromStdString(writeError);
        return report(false, problems.join(QLatin1Char('\n')));
    }

    // From here on the files are finished whole: a cancel comes too late.
    QMetaObject::invokeMethod(this, [this] { emit writing(); }, Qt::QueuedConnection);
    std::string error = writer.Finish();
    if (error.empty()) {
        written_ = true;
        error = params::WriteParameterFile(params::ParameterFilePathFor(path), picture.settings, picture.view,
                                           picture.samples);
    }
    QStringList problems = messages.texts;
    if (!error.empty()) problems << QString::fromStdString(error);
    report(false, problems.join(QLatin1Char('\n')));
}

}  // namespace app

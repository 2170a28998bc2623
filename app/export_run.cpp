#include "export_run.h"

#include <QFile>
#include <QMetaObject>

#include "guarded_application.h"
#include "image_file.h"
#include "parameter_file.h"
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
    TIterationContext settings{};
    bool paramsValid = true;
    int32_t lastFormulaNo = 0;
    params::NameBuffers names;
    params::RestoreSettings(request_.settings, params::LoadTarget{settings, paramsValid, lastFormulaNo, names},
                            messages, "export");

    engine::SupersampledPicture job;
    job.settings = settings;
    job.width = request_.width;
    job.height = request_.height;
    job.factor = request_.factor;
    job.pluginFolders = request_.pluginFolders;
    const auto started = std::chrono::steady_clock::now();
    imaging::Picture picture;
    const engine::SupersampleOutcome outcome =
        engine::ComputeSupersampled(job, picture, messages, [this, started](int32_t done, int32_t total) {
            const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
            const double left = done > 0 ? elapsed * (total - done) / done : 0.0;
            QMetaObject::invokeMethod(this, [this, done, total, left] { emit progressed(done, total, left); },
                                      Qt::QueuedConnection);
            return !cancelled_;
        });
    if (outcome == engine::SupersampleOutcome::Cancelled) return report(true, QString());
    if (outcome == engine::SupersampleOutcome::Failed) return report(false, messages.texts.join(QLatin1Char('\n')));

    // From here on the files are written whole: a cancel comes too late.
    if (cancelled_) return report(true, QString());
    QMetaObject::invokeMethod(this, [this] { emit writing(); }, Qt::QueuedConnection);
    const std::string path = QFile::encodeName(request_.path).toStdString();
    std::string error = imaging::SaveImageFile(picture, path);
    if (error.empty()) {
        written_ = true;
        settings.ImageWidth = request_.width;
        settings.ImageHeight = request_.height;
        error = params::WriteParameterFile(params::ParameterFilePathFor(path), settings);
    }
    QStringList problems = messages.texts;
    if (!error.empty()) problems << QString::fromStdString(error);
    report(false, problems.join(QLatin1Char('\n')));
}

}  // namespace app

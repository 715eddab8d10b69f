// Searches N one-page .docx files for a text that only the last one holds, through the
// main window's search button with a pool of one office and with the default pool, and
// side by side loads the same files into one office with the bare UNO calls (load hidden,
// close). Both sides start and end their offices the same way, so the figures compare
// the whole job; then the default pool once more with its instances readied when the rows
// came, as the window readies them. Last line: "ratio <ours readied / bare>".
//
//   bench_search [N [ROUNDS]]   (defaults 100 and 3; the best round of each side counts)

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include <QUrl>
#include <com/sun/star/beans/PropertyValue.hpp>
#include <com/sun/star/bridge/UnoUrlResolver.hpp>
#include <com/sun/star/frame/Desktop.hpp>
#include <com/sun/star/frame/XDesktop2.hpp>
#include <com/sun/star/lang/XComponent.hpp>
#include <com/sun/star/uno/XComponentContext.hpp>
#include <com/sun/star/util/XCloseable.hpp>
#include <cppuhelper/bootstrap.hxx>
#include <cstdio>
#include <memory>
#include <rtl/ustring.hxx>

#include "common/benchdocs.h"
#include "convert/batch/run.h"
#include "convert/folderscan.h"
#include "core/defaults.h"
#include "core/globals.h"
#include "engines/office/officebackend.h"
#include "engines/office/officeinstance.h"
#include "engines/office/officepool.h"
#include "gui/mainwin/frnscan.h"
#include "gui/mainwin/frnsearch.h"
#include "gui/mainwin/w_frn.h"

namespace {

using namespace quorv;
using css::uno::Reference;
using css::uno::UNO_QUERY;
using css::uno::UNO_QUERY_THROW;
using rtl::OUString;

const QString kNeedle = QStringLiteral("唯一的目标 Needle");

// A desktop for a window nobody looks at: it keeps the messages and notes when the
// search reaches its first row.
class BenchDesktop : public Desktop {
  public:
    QStringList messages;
    QElapsedTimer* clock = nullptr;
    qint64 firstRowAt = -1;

    void messageBox(const QString&, const QString& text) override { messages << text; }
    bool folderDialog(const QString&, const QString&, QString*) override { return false; }
    FileOpenResult fileOpenDialog(const QString&, const QString&, const QString&, const QString&,
                                  bool) override {
        return {};
    }
    FileSaveResult fileSaveDialog(const QString&, const QString&, const QString&,
                                  const QString&) override {
        return {};
    }
    bool openFile(const QString&) override { return false; }
    void copyText(const QString&) override {}
    void setBusyCursor(bool) override {}
    void minimizeMainWindow() override {}
    void restoreMainWindow() override {}
    bool escapeHeld() override {
        if (firstRowAt < 0 && clock) firstRowAt = clock->elapsed();
        return false;
    }
};

OUString toOU(const QString& s) {
    return OUString(reinterpret_cast<const sal_Unicode*>(s.utf16()), sal_Int32(s.size()));
}

struct Times {
    qint64 total = -1;  // office start to office end
    qint64 rows = -1;   // first document to the end
};

Times best(Times a, Times b) { return (a.total < 0 || b.total < a.total) ? b : a; }

// `ready`: the instances were readied when the rows came, as the window does, and run
// when the search starts (not timed).
Times runOurs(const QStringList& files, const QString& folder, int pool, bool ready = false) {
    writeSetting(globals().profile, Key::Pool, QString::number(pool));
    BenchDesktop desktop;
    w_frn w(desktop);
    for (const QString& name : files) {
        ScanRow r;
        r.ypath = folder + QLatin1Char('/');
        r.filey = name;
        appendScanRow(w.list(), std::move(r));
    }
    w.sle_3->setText(kNeedle);
    if (ready) {
        warmWorkerOffices(pool);
        for (int i = 0; i < 600 && office::OfficePool::shared().idleCount() < pool; ++i) {
            QThread::msleep(50);
        }
    }
    QElapsedTimer clock;
    desktop.clock = &clock;
    clock.start();
    frnContentSearch(w);
    const qint64 total = clock.elapsed();
    warmWorkerOffices(0);
    if (desktop.messages != QStringList{QStringLiteral("搜索结束,共找到1个")} ||
        w.list().cellText(int(files.size()), Frn1Column::jg) != QStringLiteral("找到")) {
        std::fprintf(stderr, "our search went wrong: %s\n",
                     desktop.messages.join(QStringLiteral(" | ")).toUtf8().constData());
        return {};
    }
    return {total, total - desktop.firstRowAt};
}

Times runBare(const QStringList& paths, const Reference<css::uno::XComponentContext>& local) {
    QElapsedTimer clock;
    clock.start();
    QString error;
    std::shared_ptr<office::OfficeInstance> office = office::OfficeInstance::start(&error);
    if (!office) {
        std::fprintf(stderr, "no office: %s\n", error.toUtf8().constData());
        return {};
    }
    Reference<css::uno::XComponentContext> remote(
        css::bridge::UnoUrlResolver::create(local)->resolve(
            toOU(QStringLiteral("uno:pipe,name=%1;urp;StarOffice.ComponentContext")
                     .arg(office->pipeName()))),
        UNO_QUERY_THROW);
    Reference<css::frame::XDesktop2> desktop = css::frame::Desktop::create(remote);
    const qint64 rowsFrom = clock.elapsed();
    css::uno::Sequence<css::beans::PropertyValue> args(1);
    args.getArray()[0].Name = "Hidden";
    args.getArray()[0].Value <<= true;
    for (const QString& path : paths) {
        Reference<css::lang::XComponent> doc = desktop->loadComponentFromURL(
            toOU(QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded)), "_blank", 0, args);
        Reference<css::util::XCloseable>(doc, UNO_QUERY_THROW)->close(true);
    }
    desktop.clear();
    remote.clear();
    office->end();
    const qint64 total = clock.elapsed();
    return {total, total - rowsFrom};
}

}  // namespace

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    office::installOfficeBackend();
    const int n = argc > 1 ? std::max(1, std::atoi(argv[1])) : 100;
    const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;

    QTemporaryDir dir;
    globals().ap_path = dir.path();
    globals().profile = dir.filePath(QStringLiteral("tovk.ini"));
    const int pool = defaultPoolSize();
    QStringList files;
    QStringList paths;
    {
        QString error;
        std::shared_ptr<office::OfficeInstance> office = office::OfficeInstance::start(&error);
        if (!office) {
            std::fprintf(stderr, "no office: %s\n", error.toUtf8().constData());
            return 1;
        }
        const QString flat = dir.filePath(QStringLiteral("source.fodt"));
        for (int i = 1; i <= n; ++i) {
            const QString text = i == n ? QStringLiteral("Document %1 %2").arg(i).arg(kNeedle)
                                        : QStringLiteral("Document %1").arg(i);
            if (!bench::writeBenchDocument(flat, text)) return 1;
            const QString name = QStringLiteral("文档 %1.docx").arg(i, 3, 10, QLatin1Char('0'));
            office::DocumentRef d = office->load(flat);
            office->store(d, dir.filePath(name), QStringLiteral("MS Word 2007 XML"));
            office->close(d);
            files << name;
            paths << dir.filePath(name);
        }
        office->end();
    }

    qputenv("URE_BOOTSTRAP", "vnd.sun.star.pathname:/usr/lib/libreoffice/program/fundamentalrc");
    Reference<css::uno::XComponentContext> local = cppu::defaultBootstrap_InitialComponentContext();

    Times one;
    Times ours;
    Times readied;
    Times bare;
    for (int round = 1; round <= rounds; ++round) {
        const Times s1 = runOurs(files, dir.path(), 1);
        const Times o = runOurs(files, dir.path(), pool);
        const Times r = runOurs(files, dir.path(), pool, true);
        const Times b = runBare(paths, local);
        if (s1.total < 0 || o.total < 0 || r.total < 0 || b.total < 0) return 1;
        std::printf(
            "round %d: pool 1 %lld ms, pool %d %lld ms (rows %lld ms), ready %lld ms, bare "
            "%lld ms (rows %lld ms)\n",
            round, static_cast<long long>(s1.total), pool, static_cast<long long>(o.total),
            static_cast<long long>(o.rows), static_cast<long long>(r.total),
            static_cast<long long>(b.total), static_cast<long long>(b.rows));
        one = best(one, s1);
        ours = best(ours, o);
        readied = best(readied, r);
        bare = best(bare, b);
    }
    std::printf("files %d, best of %d rounds\n", n, rounds);
    std::printf("ours pool 1: %lld ms\n", static_cast<long long>(one.total));
    std::printf("ours pool %d: %lld ms, %.1f ms per file after the first row starts\n", pool,
                static_cast<long long>(ours.total), double(ours.rows) / n);
    std::printf("bare: %lld ms, %.1f ms per file after the office start\n",
                static_cast<long long>(bare.total), double(bare.rows) / n);
    std::printf("ours pool %d ready: %lld ms (instances readied when the rows came)\n", pool,
                static_cast<long long>(readied.total));
    std::printf("ratio %.2f\n", double(readied.total) / double(bare.total));
    return 0;
}

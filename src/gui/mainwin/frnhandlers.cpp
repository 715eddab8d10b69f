#include "gui/mainwin/frnhandlers.h"

#include "gui/mainwin/frnbatch.h"
#include "gui/mainwin/frnscan.h"
#include "gui/mainwin/frnsearch.h"
#include "gui/mainwin/w_frn.h"
#include "gui/settings/wconfig.h"

namespace quorv {

void installFrnHandlers(w_frn& w) {
    FrnHooks& h = w.hooks();
    h.cb_1 = [&w] { frnAddFolder(w); };
    h.cb_2 = [&w] { frnAddFiles(w); };
    h.cb_3 = [&w] { frnBatchRun(w); };
    h.rb_4 = [&w] { frnNameFilter(w); };
    h.cb_5 = [&w] { frnContentSearch(w); };
    h.cb_4 = [&w] { openSettingsWindow(w.desktop(), &w); };
    h.drop = [&w](const QStringList& paths) { frnAddDropped(w, paths); };
}

}  // namespace quorv

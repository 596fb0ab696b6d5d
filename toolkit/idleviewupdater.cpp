#include "idleviewupdater.h"

#include "ctoolkittimer.h"
#include "cview.h"

#include <algorithm>

namespace Toolkit {

namespace {
// One per editor thread: its timer fires on the thread whose views it ticks.
thread_local IdleViewUpdater* theUpdater = nullptr;
} // namespace

IdleViewUpdater::IdleViewUpdater() : timer(new CToolkitTimer(this, kIntervalMs, true)) {}

IdleViewUpdater::~IdleViewUpdater() {
    timer->stop();
    timer->releaseReference();
}

IdleViewUpdater* IdleViewUpdater::instance() {
    return theUpdater;
}

void IdleViewUpdater::add(CView* view) {
    if (!theUpdater) {
        theUpdater = new IdleViewUpdater();
    }
    auto& l = theUpdater->list;
    if (std::find(l.begin(), l.end(), view) == l.end()) {
        l.push_back(view);
    }
}

void IdleViewUpdater::remove(CView* view) {
    if (!theUpdater) {
        return;
    }
    auto& l = theUpdater->list;
    l.erase(std::remove(l.begin(), l.end(), view), l.end());
    if (l.empty()) {
        IdleViewUpdater* updater = theUpdater;
        theUpdater = nullptr;
        updater->releaseReference();
    }
}

MessageResult IdleViewUpdater::handleMessage(CBaseObject*, IdStringPtr message) {
    if (message != kMsgTimer) {
        return messageUnknown;
    }
    // A view may leave (and the updater go away) during its tick: walk a copy, and skip views
    // that are no longer listed.
    SharedGuard<IdleViewUpdater> hold(this);
    const std::vector<CView*> snapshot = list;
    for (CView* v : snapshot) {
        if (theUpdater != this || std::find(list.begin(), list.end(), v) == list.end()) {
            continue;
        }
        SharedGuard<CView> holdView(v);
        v->idleTick();
    }
    return messageNotified;
}

bool IdleViewUpdater::isKindOf(const char* className) const {
    return nameIs(className, "IdleViewUpdater") || CBaseObject::isKindOf(className);
}

} // namespace Toolkit

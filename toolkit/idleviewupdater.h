#pragma once

#include "cbaseobject.h"

#include <vector>

namespace Toolkit {

class CToolkitTimer;
class CView;

// Calls idleTick() about 30 times a second on every attached view that wants idle calls.
// Exists only while at least one such view is registered.
class IdleViewUpdater : public CBaseObject {
public:
    static constexpr int kIdleRate = 30;
    static constexpr int kIntervalMs = 1000 / kIdleRate;

    static void add(CView* view);
    static void remove(CView* view);
    // The process-wide instance, null while no view is registered.
    static IdleViewUpdater* instance();

    MessageResult handleMessage(CBaseObject* sender, IdStringPtr message) override;
    bool isKindOf(const char* className) const override;
    const std::vector<CView*>& views() const { return list; }

private:
    IdleViewUpdater();
    ~IdleViewUpdater() override;

    CToolkitTimer* timer;
    std::vector<CView*> list;
};

} // namespace Toolkit

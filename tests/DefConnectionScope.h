#pragma once
// The data layer's "Def" connection for a test: the one of a connection manager
// of the test's own, as the module's load makes it the host's. The one before
// comes back when the scope ends.
#include "data/untDbManager.h"
#include "data/untDefData.h"
#include <atomic>

namespace testsupport {

class DefConnectionScope {
public:
    explicit DefConnectionScope(TDbManager& Manager) : FBefore(Current().exchange(&Manager))
    {
        SetDefConnectionSource(&Connection);
    }
    ~DefConnectionScope()
    {
        Current().store(FBefore);
        if (!FBefore)
            SetDefConnectionSource(nullptr);
    }
    DefConnectionScope(const DefConnectionScope&) = delete;
    DefConnectionScope& operator=(const DefConnectionScope&) = delete;

private:
    static std::atomic<TDbManager*>& Current()
    {
        static std::atomic<TDbManager*> manager{nullptr};
        return manager;
    }
    static TAdoConn* Connection()
    {
        TDbManager* m = Current().load();
        return m ? m->GetConnection(DefConnectionName) : nullptr;
    }
    TDbManager* FBefore;
};

}  // namespace testsupport

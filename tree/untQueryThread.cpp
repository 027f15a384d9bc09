#include "tree/untQueryThread.h"
#include "toolkit/ADODB.h"
#include <utility>

TQueryThread::TQueryThread(bool CreateSuspended, TADOQuery* AQuery) : FQuery(AQuery)
{
    FreeOnTerminate = true;
    if (!CreateSuspended)
        Resume();
}

TQueryThread::~TQueryThread()
{
    // Normally reached on the interface thread after the body, where the query was
    // made; a body still running must not lose its query under it.
    if (!Suspended() && !Finished()) {
        Terminate();
        WaitFor();
    }
    ReleaseQuery();
}

void TQueryThread::Execute()
{
    if (Terminated() || !FQuery)
        return;
    FQuery->Open();
    bool more = true;
    while (more)
        Synchronize([this, &more] { more = DataReady(); });
}

bool TQueryThread::DataReady()
{
    if (Terminated() || !OnDataReady || !FQuery) {
        ReleaseQuery();
        return false;
    }
    if (!std::exchange(FDelivered, true))
        FQuery->First();
    TOnDataReady handler = OnDataReady;
    if (handler(this, FQuery))
        return true;
    ReleaseQuery();
    return false;
}

void TQueryThread::ReleaseQuery()
{
    if (TADOQuery* query = std::exchange(FQuery, nullptr)) {
        query->Close();
        query->Free();
    }
}

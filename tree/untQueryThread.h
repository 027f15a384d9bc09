#pragma once
// Worker that opens one children query of the organisation tree off the interface
// thread and hands the opened dataset back to it.
#include "toolkit/Threads.h"
#include <functional>

class TADOQuery;
class TTreeNode;
class TQueryThread;

using TOnDataReady = std::function<void(TQueryThread* Sender, TADOQuery* DataSet)>;

class TQueryThread : public TThread {
    Q_OBJECT
public:
    // Frees itself when done. A query it could not deliver (told to terminate
    // first, no handler, or failed to open) it closes and frees itself; a delivered
    // one belongs to the OnDataReady handler.
    TQueryThread(bool CreateSuspended, TADOQuery* AQuery);
    ~TQueryThread() override;

    TADOQuery* Query() const { return FQuery; }
    bool IsTerminated() const { return Terminated(); }

    // Set and read on the interface thread only.
    TOnDataReady OnDataReady;
    TTreeNode* Node = nullptr;

protected:
    void Execute() override;

private:
    void DataReady();
    void ReleaseQuery();

    TADOQuery* FQuery = nullptr;
};

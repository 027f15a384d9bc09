#pragma once
// Worker that opens one children query of the organisation tree off the interface
// thread and hands the opened dataset back to it, from its first row, as often as
// the handler asks: a handler that reads a slice of the rows at a time lets the
// interface thread have its events between slices.
#include "toolkit/Threads.h"
#include <functional>

class TADOQuery;
class TTreeNode;
class TQueryThread;

// True when the handler wants the dataset again, after the events pending meanwhile.
using TOnDataReady = std::function<bool(TQueryThread* Sender, TADOQuery* DataSet)>;

class TQueryThread : public TThread {
    Q_OBJECT
public:
    // Frees itself when done, and the query with it (closed and freed on the
    // interface thread, where it was made). Told to terminate, it hands the query
    // over no more.
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
    bool DataReady();
    void ReleaseQuery();

    TADOQuery* FQuery = nullptr;
    bool FDelivered = false;   // interface thread only
};

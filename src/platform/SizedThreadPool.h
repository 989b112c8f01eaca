#pragma once

#include <QThreadPool>

// A pool of its own with a fixed number of threads, fit for a function-local static.
class SizedThreadPool : public QThreadPool {
public:
    explicit SizedThreadPool(int threads) { setMaxThreadCount(threads); }
};

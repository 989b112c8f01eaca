#pragma once

#include "ServiceProcess.h"

#include <httplib.h>

#include <gtest/gtest.h>

// A test suite that shares one real service program, started for the suite
// with the arguments it names.
class ServiceSuite : public ::testing::Test {
protected:
    static void startService(const QStringList& arguments = {})
    {
        static int argc = 1;
        static char name[] = "service-test";
        static char* argv[] = {name, nullptr};
        s_app = new QCoreApplication(argc, argv);
        s_service = new ServiceProcess(arguments);
    }
    static void TearDownTestSuite()
    {
        delete s_service;
        delete s_app;
        s_service = nullptr;
        s_app = nullptr;
    }
    void SetUp() override { ASSERT_TRUE(s_service->running()) << s_service->startError().toStdString(); }

    // The service's answer to a form body.
    static httplib::Result post(const std::string& body)
    {
        httplib::Client client("127.0.0.1", s_service->port());
        client.set_read_timeout(300, 0);
        return client.Post("/translate", body, "application/x-www-form-urlencoded");
    }

    inline static QCoreApplication* s_app = nullptr;
    inline static ServiceProcess* s_service = nullptr;
};

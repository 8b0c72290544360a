// Shared by the window-message tests: a sandbox (its runtime directory holds the sockets) and
// this process's own Service, which records what reaches its windows.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "ipc/ipc.h"
#include "peer_process.h"
#include "support/sandbox.h"

namespace vlt::test {

class IpcTest : public ::testing::Test {
protected:
    void SetUp() override {
        ipc::LocalDelivery delivery;
        delivery.send = [this](HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result) {
            std::lock_guard lock(mutex);
            received.push_back(describe(hwnd, msg, wParam, lParam));
            *result = 0;
            return true;
        };
        delivery.post = [this](HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
            std::lock_guard lock(mutex);
            received.push_back("post " + describe(hwnd, msg, wParam, lParam));
            return true;
        };
        auto s = ipc::Service::open(delivery);
        ASSERT_TRUE(s) << s.error().message;
        service = std::move(*s);
    }

    static std::string describe(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
        return std::to_string(reinterpret_cast<std::uintptr_t>(hwnd)) + " " + std::to_string(msg) + " " +
               std::to_string(wParam) + " " + std::to_string(lParam);
    }

    // Starts a peer and waits until its window is published.
    static void startPeer(PeerProcess& peer, const std::vector<std::string>& args) {
        ASSERT_TRUE(peer.start(args));
        ASSERT_EQ(peer.readLine(), "ready");
    }

    std::vector<std::string> receivedNow() {
        std::lock_guard lock(mutex);
        return received;
    }

    Sandbox sandbox;
    std::unique_ptr<ipc::Service> service;
    std::mutex mutex;
    std::vector<std::string> received;
};

}  // namespace vlt::test

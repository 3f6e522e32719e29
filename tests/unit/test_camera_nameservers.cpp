// Which name servers an adapter offers a camera: never a resolver on this machine.

#include <gtest/gtest.h>

#include "platform/HostAdapters.h"

TEST(CameraNameservers, LocalResolversGiveWayToRealServers) {
    const char upstream[] = "nameserver 127.0.0.1\nnameserver 10.0.0.53\n";
    // A real server after a local one is used.
    EXPECT_EQ((std::vector<std::string>{"192.168.1.53"}),
              tarsel::CameraNameservers("nameserver 127.0.1.1\nnameserver 192.168.1.53\n", upstream));
    // Only local ones (dnsmasq, NetworkManager, a stub): the upstream list, still without loopback.
    EXPECT_EQ((std::vector<std::string>{"10.0.0.53"}),
              tarsel::CameraNameservers("nameserver 127.0.0.1\nnameserver 127.0.0.53\n", upstream));
    // Nothing real anywhere: none (the camera gets 0.0.0.0).
    EXPECT_TRUE(tarsel::CameraNameservers("nameserver 127.0.0.1\n", "").empty());
}

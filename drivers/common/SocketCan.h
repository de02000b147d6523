#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// The machine's own CAN network interfaces (can0, slcan0, vcan0, ...), as Qt SerialBus's
// socketcan plugin reaches them: which there are, what state they are in, and bringing one
// to the bit rate and mode a run asks for.
namespace socketcan {

inline constexpr const char *pluginName = "socketcan";

// The CAN interfaces the socketcan plugin reports as available and those it leaves out
// because they are down, in name order.
std::vector<std::string> interfaces();

struct LinkState
{
    bool exists = false;
    bool up = false;
    // The rate of an interface with bit timing; none for one without (vcan, slcan), which
    // runs at whatever its bus does.
    std::optional<uint32_t> bitRate;
    bool listenOnly = false;
};

// withTiming false reads only presence and up/down (cheap, from /sys/class/net).
LinkState linkState(const std::string &name, bool withTiming = true);

// What the user is told before a run on the interface, in Japanese; empty when the
// interface can be used as it stands: up, and at the wanted rate where it has one.
std::string problemText(const std::string &name, const LinkState &state, int wantedBitRate,
                        bool wantedListenOnly);

// What the user is told when the interface fails during a run.
std::string lostText(const std::string &name, const LinkState &state);

// Brings an interface with bit timing to the wanted rate and mode when it is not there yet
// and the process may (the kernel takes a new rate only while the interface is down:
// stop, set, start); then checks. Returns what problemText says afterwards.
std::string prepare(const std::string &name, int wantedBitRate, bool wantedListenOnly);

} // namespace socketcan

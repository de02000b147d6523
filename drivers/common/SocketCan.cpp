#include "SocketCan.h"

#include "MonotonicClock.h"
#include "QtRuntime.h"

#include <QCanBus>
#include <QCanBusDeviceInfo>
#include <QDir>
#include <QFile>

#include <dlfcn.h>
#include <linux/can/netlink.h>
#include <linux/if_link.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <net/if.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <cstring>
#include <mutex>

namespace socketcan {

namespace {

// libsocketcan, which Qt's plugin loads too; bound once, at the first need.
struct LibSocketCan
{
    struct CtrlMode
    {
        uint32_t mask, flags;
    };
    static constexpr uint32_t kListenOnly = CAN_CTRLMODE_LISTENONLY;

    int (*setBitRate)(const char *, uint32_t) = nullptr;
    int (*setCtrlMode)(const char *, CtrlMode *) = nullptr;
    int (*start)(const char *) = nullptr;
    int (*stop)(const char *) = nullptr;

    static const LibSocketCan &instance()
    {
        static const LibSocketCan lib = [] {
            LibSocketCan l;
            void *handle = dlopen("libsocketcan.so.2", RTLD_NOW | RTLD_LOCAL);
            if (!handle)
                return l;
            auto get = [handle](auto &fn, const char *name) {
                fn = reinterpret_cast<std::remove_reference_t<decltype(fn)>>(dlsym(handle, name));
            };
            get(l.setBitRate, "can_set_bitrate");
            get(l.setCtrlMode, "can_set_ctrlmode");
            get(l.start, "can_do_start");
            get(l.stop, "can_do_stop");
            return l;
        }();
        return lib;
    }
};

// What the kernel tells of a link (RTM_GETLINK): its kind ("can" for a controller,
// "vcan", "vxcan") and, for a controller, its bit rate and mode. Read directly, as
// libsocketcan writes its complaints about links without bit timing to stderr.
struct LinkInfo
{
    std::string kind;
    uint32_t bitRate = 0;
    uint32_t ctrlMode = 0;
};

std::optional<LinkInfo> queryLink(unsigned index)
{
    const int fd = socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_ROUTE);
    if (fd < 0)
        return std::nullopt;
    struct
    {
        nlmsghdr header;
        ifinfomsg info;
    } request{};
    request.header.nlmsg_len = sizeof request;
    request.header.nlmsg_type = RTM_GETLINK;
    request.header.nlmsg_flags = NLM_F_REQUEST;
    request.header.nlmsg_seq = 1;
    request.info.ifi_family = AF_UNSPEC;
    request.info.ifi_index = int(index);
    timeval timeout{1, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    alignas(nlmsghdr) char buffer[16384];
    ssize_t n = -1;
    if (send(fd, &request, sizeof request, 0) == ssize_t(sizeof request))
        n = recv(fd, buffer, sizeof buffer, 0);
    close(fd);
    if (n < ssize_t(NLMSG_LENGTH(sizeof(ifinfomsg))))
        return std::nullopt;
    const auto *header = reinterpret_cast<const nlmsghdr *>(buffer);
    if (!NLMSG_OK(header, size_t(n)) || header->nlmsg_type != RTM_NEWLINK)
        return std::nullopt;
    LinkInfo link;
    int length = int(IFLA_PAYLOAD(header));
    for (const rtattr *a = IFLA_RTA(reinterpret_cast<const ifinfomsg *>(NLMSG_DATA(header)));
         RTA_OK(a, length); a = RTA_NEXT(a, length)) {
        if (a->rta_type != IFLA_LINKINFO)
            continue;
        int infoLength = int(RTA_PAYLOAD(a));
        for (const rtattr *i = static_cast<const rtattr *>(RTA_DATA(a)); RTA_OK(i, infoLength);
             i = RTA_NEXT(i, infoLength)) {
            if (i->rta_type == IFLA_INFO_KIND) {
                const char *text = static_cast<const char *>(RTA_DATA(i));
                link.kind.assign(text, strnlen(text, RTA_PAYLOAD(i)));
            } else if (i->rta_type == IFLA_INFO_DATA) {
                int dataLength = int(RTA_PAYLOAD(i));
                for (const rtattr *d = static_cast<const rtattr *>(RTA_DATA(i));
                     RTA_OK(d, dataLength); d = RTA_NEXT(d, dataLength)) {
                    if (d->rta_type == IFLA_CAN_BITTIMING
                        && RTA_PAYLOAD(d) >= sizeof(can_bittiming))
                        link.bitRate = static_cast<const can_bittiming *>(RTA_DATA(d))->bitrate;
                    else if (d->rta_type == IFLA_CAN_CTRLMODE
                             && RTA_PAYLOAD(d) >= sizeof(can_ctrlmode))
                        link.ctrlMode = static_cast<const can_ctrlmode *>(RTA_DATA(d))->flags;
                }
            }
        }
    }
    return link;
}

// A name that can stand in a path under /sys/class/net and in a netlink request.
bool isSafeName(const std::string &name)
{
    return !name.empty() && name.size() < IFNAMSIZ && name != "." && name != ".."
           && name.find_first_of("/ \t\r\n") == std::string::npos;
}

std::string rateText(const LinkState &state)
{
    return state.bitRate ? std::to_string(*state.bitRate) + " bps" : std::string("なし");
}

std::string fixCommand(const std::string &name, const LinkState &state, int wantedBitRate,
                       bool wantedListenOnly)
{
    if (!state.bitRate)
        return "ip link set " + name + " up";
    std::string command = "ip link set " + name + " up type can bitrate "
                          + std::to_string(wantedBitRate)
                          + (wantedListenOnly ? " listen-only on" : " listen-only off");
    // The kernel refuses a new rate while the interface is up.
    if (state.up)
        command = "ip link set " + name + " down && " + command;
    return command;
}

} // namespace

std::vector<std::string> interfaces()
{
    // A port search asks 255 times in a row; the machine's list is read once for it.
    static std::mutex mutex;
    static std::vector<std::string> cached;
    static uint64_t cachedAt = 0;
    std::lock_guard lock(mutex);
    const uint64_t now = monotonicNs();
    if (cachedAt != 0 && now - cachedAt < 500000000u)
        return cached;
    if (!QtRuntime::instance().start())
        return {};
    std::vector<std::string> names;
    for (const QCanBusDeviceInfo &info :
         QCanBus::instance()->availableDevices(QString::fromLatin1(pluginName))) {
        const std::string name = info.name().toStdString();
        if (isSafeName(name))
            names.push_back(name);
    }
    // The plugin leaves out an interface that is down; the user still has to see it, to
    // be told how to bring it up. Every link of type CAN (ARPHRD_CAN, 280) is one.
    QDir net(QStringLiteral("/sys/class/net"));
    for (const QString &entry : net.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile type(net.filePath(entry) + QStringLiteral("/type"));
        if (type.open(QIODevice::ReadOnly) && type.readAll().trimmed() == "280"
            && isSafeName(entry.toStdString()))
            names.push_back(entry.toStdString());
    }
    std::sort(names.begin(), names.end());
    names.erase(std::unique(names.begin(), names.end()), names.end());
    cached = names;
    cachedAt = now;
    return names;
}

LinkState linkState(const std::string &name, bool withTiming)
{
    LinkState state;
    if (!isSafeName(name))
        return state;
    std::ifstream flagsFile("/sys/class/net/" + name + "/flags");
    std::string text;
    if (!std::getline(flagsFile, text) || text.empty())
        return state;
    const unsigned long flags = std::strtoul(text.c_str(), nullptr, 16);
    state.exists = true;
    state.up = flags & IFF_UP;
    if (!withTiming)
        return state;
    // Only a controller ("can") has a bit rate; a virtual link runs at its bus's pace.
    const auto link = queryLink(if_nametoindex(name.c_str()));
    if (link && link->kind == "can") {
        state.bitRate = link->bitRate;
        state.listenOnly = link->ctrlMode & CAN_CTRLMODE_LISTENONLY;
    }
    return state;
}

std::string problemText(const std::string &name, const LinkState &state, int wantedBitRate,
                        bool wantedListenOnly)
{
    const std::string head = "SocketCAN インターフェース " + name;
    const std::string tail = "\r\n接続を終了します。";
    if (!state.exists)
        return head + " が見つかりません。" + tail;
    const std::string command = fixCommand(name, state, wantedBitRate, wantedListenOnly);
    if (!state.up)
        return head + " は停止しています（状態: DOWN、通信速度: " + rateText(state) + "）。"
               + "\r\n次のコマンドで起動してください: " + command + tail;
    if (!state.bitRate)
        return {};
    if (int64_t(*state.bitRate) == wantedBitRate && state.listenOnly == wantedListenOnly)
        return {};
    return head + " は " + rateText(state) + (state.listenOnly ? "（サイレント）" : "")
           + " で動作しています（状態: UP）。選択された通信速度は "
           + std::to_string(wantedBitRate) + " bps" + (wantedListenOnly ? "（サイレント）" : "")
           + " です。\r\n設定を変更できませんでした。次のコマンドで設定してください: " + command
           + tail;
}

std::string lostText(const std::string &name, const LinkState &state)
{
    const std::string head = "SocketCAN インターフェース " + name;
    if (!state.exists)
        return head + " が取り外されました。\r\n接続を終了します。";
    return head + " が停止しました（状態: " + (state.up ? "UP" : "DOWN")
           + "）。\r\n接続を終了します。";
}

std::string prepare(const std::string &name, int wantedBitRate, bool wantedListenOnly)
{
    LinkState state = linkState(name);
    if (problemText(name, state, wantedBitRate, wantedListenOnly).empty() || !state.exists
        || !state.bitRate)
        return problemText(name, state, wantedBitRate, wantedListenOnly);
    // One process at a time reconfigures an interface.
    static std::mutex mutex;
    std::lock_guard lock(mutex);
    const LibSocketCan &lib = LibSocketCan::instance();
    if (lib.stop && lib.setBitRate && lib.start && wantedBitRate > 0) {
        // Without the right to (CAP_NET_ADMIN) the first step fails and nothing changes.
        if (!state.up || lib.stop(name.c_str()) == 0) {
            lib.setBitRate(name.c_str(), uint32_t(wantedBitRate));
            if (lib.setCtrlMode) {
                LibSocketCan::CtrlMode mode{LibSocketCan::kListenOnly,
                                            wantedListenOnly ? LibSocketCan::kListenOnly : 0u};
                lib.setCtrlMode(name.c_str(), &mode);
            }
            lib.start(name.c_str());
        }
    }
    return problemText(name, linkState(name), wantedBitRate, wantedListenOnly);
}

} // namespace socketcan

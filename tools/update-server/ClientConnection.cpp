#include "ClientConnection.h"

#include <fcntl.h>
#include <sys/epoll.h>
#include <sys/sendfile.h>
#include <sys/socket.h>
#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>

namespace {

// Bytes handed to one socket per readiness report, so that one fast client
// cannot keep the loop from the others.
constexpr std::int64_t kTurnBytes = 4 << 20;
// Bytes read and thrown away per readiness report while lingering.
constexpr std::size_t kDrainTurnBytes = 64 << 10;

std::string ErrnoText(int error) { return std::strerror(error); }

std::string Millis(std::chrono::milliseconds ms) { return std::to_string(ms.count()) + " ms"; }

}  // namespace

TClientConnection::TClientConnection(TFileDescriptor socket, std::string peer,
                                     const TServerSettings& settings, const TLogSink& log,
                                     TServerClock::time_point now)
    : socket_(std::move(socket)),
      peer_(std::move(peer)),
      settings_(settings),
      log_(log),
      deadline_(now + settings.requestTimeout) {}

TClientConnection::~TClientConnection() { Abandon(); }

std::uint32_t TClientConnection::WantedEvents() const {
    switch (state_) {
        case TState::Reading:
        case TState::Lingering:
            return EPOLLIN | EPOLLRDHUP;
        case TState::Sending:
            return EPOLLOUT;
        case TState::Closed:
            break;
    }
    return 0;
}

void TClientConnection::OnReady(TServerClock::time_point now) {
    switch (state_) {
        case TState::Reading:
            ReadRequest(now);
            break;
        case TState::Sending:
            SendPackage(now);
            break;
        case TState::Lingering:
            Drain();
            break;
        case TState::Closed:
            break;
    }
}

void TClientConnection::CheckDeadline(TServerClock::time_point now) {
    if (state_ == TState::Closed || now < deadline_) {
        return;
    }
    switch (state_) {
        case TState::Reading:
            Finish("timeout: no request line within " + Millis(settings_.requestTimeout));
            break;
        case TState::Sending:
            Finish("stalled: the client took no bytes for " + Millis(settings_.stallTimeout));
            break;
        default:
            // Lingering: the log line is written already; just let go.
            Finish("");
            break;
    }
}

void TClientConnection::Abandon(const std::string& reason) {
    if (state_ != TState::Closed) {
        Finish(reason);
    }
}

void TClientConnection::ReadRequest(TServerClock::time_point now) {
    std::array<char, 512> buffer;
    for (;;) {
        const ssize_t n = ::recv(socket_.Get(), buffer.data(), buffer.size(), 0);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            return;
        }
        if (n < 0) {
            Finish("receive failed before a request: " + ErrnoText(errno));
            return;
        }
        if (n == 0) {
            // A connect followed by a close is how the updater looks for a
            // reachable server: nothing is wrong with it.
            Finish(request_.Buffered() == 0 ? "probe: closed without a request"
                                            : "closed before the request line ended");
            return;
        }
        switch (request_.Feed(std::string_view(buffer.data(), static_cast<std::size_t>(n)))) {
            case TRequestVerdict::NeedMore:
                break;
            case TRequestVerdict::Accepted:
                StartSending(now);
                return;
            case TRequestVerdict::Refused:
                Finish("refused: wrong request line");
                return;
            case TRequestVerdict::TooLong:
                Finish("refused: no line end within " + std::to_string(kMaxRequestLine) + " bytes");
                return;
        }
    }
}

void TClientConnection::StartSending(TServerClock::time_point now) {
    accepted_ = true;
    // Opened per transfer: a package replaced on disk is served to the next
    // client, while a transfer under way keeps the file it started with.
    package_.Reset(::open(settings_.packagePath.c_str(), O_RDONLY | O_CLOEXEC));
    if (!package_.Valid()) {
        Finish("refused: cannot open the package: " + ErrnoText(errno));
        return;
    }
    struct stat info {};
    if (::fstat(package_.Get(), &info) != 0 || !S_ISREG(info.st_mode)) {
        Finish("refused: the package is not a regular file");
        return;
    }
    packageSize_ = info.st_size;
    state_ = TState::Sending;
    deadline_ = now + settings_.stallTimeout;
    SendPackage(now);
}

void TClientConnection::SendPackage(TServerClock::time_point now) {
    std::int64_t turn = 0;
    for (;;) {
        ssize_t n = 0;
        if (replySent_ < kReplyLine.size()) {
            // MSG_MORE lets the reply share its segment with the first package
            // bytes; the client takes those as the start of the package anyway.
            const int more = packageSize_ > 0 ? MSG_MORE : 0;
            n = ::send(socket_.Get(), kReplyLine.data() + replySent_,
                       kReplyLine.size() - replySent_, MSG_NOSIGNAL | more);
            if (n >= 0) {
                replySent_ += static_cast<std::size_t>(n);
                continue;
            }
        } else if (packageSent_ >= packageSize_) {
            FinishSending(now);
            return;
        } else {
            const std::size_t chunk = static_cast<std::size_t>(
                std::min<std::int64_t>(packageSize_ - packageSent_, kTurnBytes));
            off_t offset = static_cast<off_t>(packageSent_);
            n = ::sendfile(socket_.Get(), package_.Get(), &offset, chunk);
            if (n == 0) {
                Finish("failed: the package shrank during the transfer");
                return;
            }
            if (n > 0) {
                packageSent_ += n;
                turn += n;
                deadline_ = now + settings_.stallTimeout;
                if (turn >= kTurnBytes) {
                    return;
                }
                continue;
            }
        }
        if (errno == EINTR) {
            continue;
        }
        if (errno == EAGAIN || errno == EWOULDBLOCK) {
            return;
        }
        Finish("aborted: " + ErrnoText(errno));
        return;
    }
}

void TClientConnection::FinishSending(TServerClock::time_point now) {
    completed_ = true;
    package_.Reset();
    Finish("complete", true);
    // The close is the package's end marker. Half-close, then read until the
    // client closes too. On loopback this costs about a tenth more CPU per GB
    // than closing at once; kept on purpose, since a reset could cut the tail.
    ::shutdown(socket_.Get(), SHUT_WR);
    state_ = TState::Lingering;
    deadline_ = now + settings_.lingerTimeout;
}

void TClientConnection::Drain() {
    std::array<char, 4096> buffer;
    std::size_t turn = 0;
    while (turn < kDrainTurnBytes) {
        const ssize_t n = ::recv(socket_.Get(), buffer.data(), buffer.size(), 0);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            return;
        }
        if (n <= 0) {
            Finish("");
            return;
        }
        turn += static_cast<std::size_t>(n);
    }
}

void TClientConnection::Finish(const std::string& outcome, bool keepOpen) {
    if (!logged_ && log_) {
        logged_ = true;
        const std::string sent = accepted_ ? std::to_string(packageSent_) + " of " +
                                                 std::to_string(packageSize_) + " package bytes"
                                           : std::string("0 bytes");
        log_(peer_ + ": sent " + sent + ": " + outcome);
    }
    logged_ = true;
    if (!keepOpen) {
        package_.Reset();
        socket_.Reset();
        state_ = TState::Closed;
    }
}

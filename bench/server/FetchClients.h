#pragma once

#include <cstddef>
#include <cstdint>

// The client side of the benchmark, the same code for every server it is
// pointed at: `clients` connections to 127.0.0.1:`port`, made one after the
// other, each sends the request line; then one thread and one epoll loop
// receive for all of them until every server close has arrived. Raises when a
// client got a wrong reply line or other than `packageSize` package bytes, or
// when nothing arrives for 30 s. Returns the wall-clock seconds from the first
// connect to the last close.
double FetchWithManyClients(std::uint16_t port, int clients, std::size_t packageSize);

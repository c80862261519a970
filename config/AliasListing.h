// AliasListing: the aliases of one scope, listed on a thread of its own with a registry of its
// own, so that the store is read while the alias window is still being built. The window takes
// the registry over afterwards and keeps it, as if it had made it and listed itself.
#pragma once

#include <exception>
#include <functional>
#include <future>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "AliasStore.h"

class AliasListing
{
public:
    using MakeRegistry = std::function<std::unique_ptr<TRegistry>()>;

    // Makes the registry here, on the calling thread (it locates its stores from the
    // environment), and starts listing `scope` on another.
    explicit AliasListing(AliasScope scope, const MakeRegistry& makeRegistry = DefaultRegistry);
    // Waits until the listing has ended.
    ~AliasListing();
    AliasListing(const AliasListing&) = delete;
    AliasListing& operator=(const AliasListing&) = delete;

    AliasScope Scope() const { return scope_; }

    // Waits until the listing has ended and hands over the registry it listed with (none when
    // making it failed). Once only.
    std::unique_ptr<TRegistry> TakeRegistry();
    // Waits likewise and hands over the (name, path) pairs, as AliasStore::ListAliases gives
    // them. What the listing or the making of the registry raised is raised here, after
    // `listed` has got the pairs listed before it. Once only.
    void TakeAliases(std::vector<std::pair<std::string, std::string>>& listed);

private:
    static std::unique_ptr<TRegistry> DefaultRegistry();

    AliasScope scope_;
    std::unique_ptr<TRegistry> registry_;
    std::exception_ptr makeError_;
    std::vector<std::pair<std::string, std::string>> listed_;
    std::future<void> done_;
};

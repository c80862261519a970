#include "AliasListing.h"

AliasListing::AliasListing(AliasScope scope, const MakeRegistry& makeRegistry) : scope_(scope)
{
    try {
        registry_ = makeRegistry();
    } catch (...) {
        makeError_ = std::current_exception();
        return;
    }
    done_ = std::async(std::launch::async, [this] {
        AliasStore aliases(*registry_);
        aliases.ListAliases(scope_, listed_);
    });
}

AliasListing::~AliasListing()
{
    if (done_.valid())
        done_.wait();
}

std::unique_ptr<TRegistry> AliasListing::TakeRegistry()
{
    if (done_.valid())
        done_.wait();
    return std::move(registry_);
}

void AliasListing::TakeAliases(std::vector<std::pair<std::string, std::string>>& listed)
{
    if (makeError_)
        std::rethrow_exception(std::exchange(makeError_, nullptr));
    if (!done_.valid())
        return;
    done_.wait();
    listed = std::move(listed_);
    done_.get();
}

std::unique_ptr<TRegistry> AliasListing::DefaultRegistry()
{
    return std::make_unique<TRegistry>();
}

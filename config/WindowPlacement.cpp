#include "WindowPlacement.h"

#include "TRegistry.h"

const char* const PlacementKeyPath = "Software\\Quillon\\Tessarium\\Configuration";
const char* const PlacementLeft = "LastLeft";
const char* const PlacementTop = "LastTop";
const char* const PlacementWidth = "LastWidth";
const char* const PlacementHeight = "LastHeight";

namespace
{

std::optional<std::int32_t> ReadNumberIfThere(TRegistry& registry, const char* name)
{
    if (!registry.HasValue(name))
        return std::nullopt;
    return registry.ReadNumber(name);
}

} // namespace

SavedPlacement ReadWindowPlacement()
{
    TRegistry registry;
    registry.SelectRoot(RegistryRoot::CurrentUser);
    SavedPlacement stored;
    if (!registry.OpenKeyPath(PlacementKeyPath, false))
        return stored;
    stored.Left = ReadNumberIfThere(registry, PlacementLeft);
    stored.Top = ReadNumberIfThere(registry, PlacementTop);
    stored.Width = ReadNumberIfThere(registry, PlacementWidth);
    stored.Height = ReadNumberIfThere(registry, PlacementHeight);
    return stored;
}

bool WriteWindowPlacement(const WindowBounds& bounds)
{
    TRegistry registry;
    registry.SelectRoot(RegistryRoot::CurrentUser);
    if (!registry.OpenKeyPath(PlacementKeyPath, true))
        return false;
    registry.WriteNumber(PlacementLeft, bounds.Left);
    registry.WriteNumber(PlacementTop, bounds.Top);
    registry.WriteNumber(PlacementWidth, bounds.Width);
    registry.WriteNumber(PlacementHeight, bounds.Height);
    return true;
}

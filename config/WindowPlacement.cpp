#include "WindowPlacement.h"

#include "TRegistry.h"

#include <utility>

const char* const PlacementKeyPath = "Software\\Quillon\\Tessarium\\Configuration";
const char* const PlacementLeft = "LastLeft";
const char* const PlacementTop = "LastTop";
const char* const PlacementWidth = "LastWidth";
const char* const PlacementHeight = "LastHeight";

void RestoreWindowPlacement(const std::function<void(PlacementPart, std::int32_t)>& apply)
{
    TRegistry registry;
    registry.SelectRoot(RegistryRoot::CurrentUser);
    if (!registry.OpenKeyPath(PlacementKeyPath, false))
        return;
    for (const auto& [part, name] : {std::pair{PlacementPart::Left, PlacementLeft},
                                     std::pair{PlacementPart::Top, PlacementTop},
                                     std::pair{PlacementPart::Width, PlacementWidth},
                                     std::pair{PlacementPart::Height, PlacementHeight}})
        if (registry.HasValue(name))
            apply(part, registry.ReadNumber(name));
}

SavedPlacement ReadWindowPlacement()
{
    SavedPlacement stored;
    RestoreWindowPlacement([&](PlacementPart part, std::int32_t value) {
        switch (part) {
        case PlacementPart::Left:
            stored.Left = value;
            break;
        case PlacementPart::Top:
            stored.Top = value;
            break;
        case PlacementPart::Width:
            stored.Width = value;
            break;
        case PlacementPart::Height:
            stored.Height = value;
            break;
        }
    });
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

// Where the alias window was when it last closed: its outer bounds, kept for the current user
// under the utility's configuration key.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>

extern const char* const PlacementKeyPath; // "Software\Quillon\Tessarium\Configuration"
extern const char* const PlacementLeft;    // "LastLeft"
extern const char* const PlacementTop;     // "LastTop"
extern const char* const PlacementWidth;   // "LastWidth"
extern const char* const PlacementHeight;  // "LastHeight"

// The window's outer bounds in screen pixels, frame included.
struct WindowBounds {
    std::int32_t Left = 0;
    std::int32_t Top = 0;
    std::int32_t Width = 0;
    std::int32_t Height = 0;
};

// What the key holds of the bounds: each value may be missing on its own.
struct SavedPlacement {
    std::optional<std::int32_t> Left;
    std::optional<std::int32_t> Top;
    std::optional<std::int32_t> Width;
    std::optional<std::int32_t> Height;
};

enum class PlacementPart { Left, Top, Width, Height };

// Reads the stored values in the order left, top, width, height and hands each one that is there
// to `apply` before the next is read, so that a value which cannot be read as a number (it raises
// ERegistryException) leaves the earlier ones applied. Nothing happens when the key is missing.
void RestoreWindowPlacement(const std::function<void(PlacementPart, std::int32_t)>& apply);

// The four values as stored; all missing when the key is. Raises as RestoreWindowPlacement.
SavedPlacement ReadWindowPlacement();

// Opens the key, creating it, and writes the four values. False, with nothing written, when the
// key cannot be opened; a value that cannot be written raises ERegistryException.
bool WriteWindowPlacement(const WindowBounds& bounds);

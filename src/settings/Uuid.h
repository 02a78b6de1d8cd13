#pragma once
// A 128-bit identifier of presets and schedules, with the upper-case 8-4-4-4-12 text form we store.

#include <array>
#include <compare>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace brivio {

class Uuid {
public:
    using Bytes = std::array<std::uint8_t, 16>;

    // The all-zero id.
    constexpr Uuid() = default;
    constexpr explicit Uuid(const Bytes& bytes) : bytes_(bytes) {}

    static Uuid random();
    // Accepts exactly the 36-character grouped form, hexadecimal digits in either case.
    static std::optional<Uuid> parse(std::string_view text);

    std::string toString() const;
    const Bytes& bytes() const { return bytes_; }

    friend bool operator==(const Uuid&, const Uuid&) = default;
    friend auto operator<=>(const Uuid&, const Uuid&) = default;

private:
    Bytes bytes_{};
};

} // namespace brivio

template <> struct std::hash<brivio::Uuid> { std::size_t operator()(const brivio::Uuid& id) const noexcept; };

// BindingTypeRegistry: the registered records and enumerations of a module,
// found by registered name or by native identity, together with the API's
// functions and events and the storage of the API description built from them.
//
// Thread safety: one mutex guards the tables and is held only for the table
// access itself. Descriptions are filled while the module starts and only read
// afterwards, so reading a description's fields and enumerators takes no lock.
// Nothing is ever removed: every description, field, converter and enumerator
// lives until the registry is destroyed, so pointers and views handed out stay
// valid that long.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <unordered_map>
#include <vector>

#include "binding/binding_event_description.h"
#include "binding/binding_function_description.h"
#include "binding/binding_type_description.h"
#include "binding/binding_type_ref.h"
#include "binding/enum_name_lookup.h"
#include "binding/static_type.h"
#include "diagnostics/text_hash.h"

namespace Nimbel {

class BindingTypeBuilderBase;

class BindingTypeRegistry final : public EnumNameLookup {
public:
    BindingTypeRegistry();
    ~BindingTypeRegistry();
    BindingTypeRegistry(const BindingTypeRegistry&) = delete;
    BindingTypeRegistry& operator=(const BindingTypeRegistry&) = delete;

    // ---- Types ----------------------------------------------------------------

    /// The type registered under `name`, or null.
    [[nodiscard]] const BindingTypeDescription* FindType(std::string_view name) const;
    /// The type registered for the native type `identity` (compared by hash,
    /// and by name against a type whose hash it shares), or null. Types
    /// registered with the reserved no-type identity are never found this way.
    [[nodiscard]] const BindingTypeDescription* FindType(const StaticTypeId& identity) const;
    /// The description registered for the native type T, or null; null also
    /// when the registered description does not fit T (an enumeration for a
    /// record or the other way round, or another size), so that conversions
    /// never read or write a T through the layout of another type.
    template <class T>
    [[nodiscard]] const BindingTypeDescription* FindNativeType() const {
        const BindingTypeDescription* description = FindType(StaticType::Name<T>());
        if (description == nullptr || description->isEnum != std::is_enum_v<T> ||
            description->nativeSize != sizeof(T)) {
            return nullptr;
        }
        return description;
    }
    /// Kind Enum or Struct with the description of the native type `identity`;
    /// kind None without a description when it is not registered.
    [[nodiscard]] BindingTypeRef TypeRefOf(const StaticTypeId& identity) const;
    template <class T>
    [[nodiscard]] BindingTypeRef TypeRefOf() const {
        return TypeRefOf(StaticType::Name<T>());
    }
    /// Every registered type, copied from the by-name table under the mutex;
    /// the order promises nothing.
    [[nodiscard]] std::vector<const BindingTypeDescription*> TypeSnapshot() const;

    /// The name of the first enumerator, in name order, of the enumeration
    /// registered for `type` whose value is `value`; nullopt when none has
    /// that value or the type is not registered.
    [[nodiscard]] std::optional<std::string_view> EnumeratorName(const StaticTypeId& type,
                                                                 int32_t value) const override;

    // ---- Functions ------------------------------------------------------------

    /// A new function description owned by the registry and entered in the
    /// functions table; null, with the table unchanged, when a function of
    /// that name exists. The caller fills it before requests arrive.
    [[nodiscard]] BindingFunctionDescription* CreateFunction(std::string_view name,
                                                             size_t argumentCount);
    /// A function description that no registry holds; the caller owns it.
    [[nodiscard]] static std::unique_ptr<BindingFunctionDescription> CreateDetachedFunction(
        std::string_view name, size_t argumentCount);
    /// The function of that name, or null.
    [[nodiscard]] const BindingFunctionDescription* FindFunction(std::string_view name) const;
    /// How many functions the table holds.
    [[nodiscard]] size_t FunctionCount() const;
    /// Every function, copied under the mutex; the order promises nothing.
    [[nodiscard]] std::vector<const BindingFunctionDescription*> FunctionSnapshot() const;

    // ---- Events ---------------------------------------------------------------

    /// A new event description owned by the registry and entered in the
    /// events table; null, with the table unchanged, when an event of that
    /// name exists. `payload` may be null.
    [[nodiscard]] BindingEventDescription* CreateEvent(std::string_view name,
                                                       const BindingTypeDescription* payload);
    /// The event of that name, or null.
    [[nodiscard]] const BindingEventDescription* FindEvent(std::string_view name) const;
    /// Every event, copied under the mutex; the order promises nothing.
    [[nodiscard]] std::vector<const BindingEventDescription*> EventSnapshot() const;

    // ---- State ----------------------------------------------------------------

    /// Set once the built-in types and events are registered.
    void MarkInitialised() noexcept { initialised_.store(true, std::memory_order_release); }
    [[nodiscard]] bool Initialised() const noexcept {
        return initialised_.load(std::memory_order_acquire);
    }

    /// Replaces the storage of the API description with a new, value-initialised
    /// Storage, destroying what an earlier build left there, and returns it.
    /// It lives until the next replacement or until the registry is destroyed.
    template <class Storage>
    Storage& ReplaceApiDescription() {
        auto storage = std::make_shared<Storage>();
        Storage& result = *storage;
        const std::lock_guard lock(mutex_);
        apiDescription_ = std::move(storage);
        apiDescriptionType_ = &StaticType::Name<Storage>();
        return result;
    }
    /// The storage of the last API description, or null when none was built
    /// or it was built as another type than Storage.
    template <class Storage>
    [[nodiscard]] Storage* ApiDescription() const {
        const std::lock_guard lock(mutex_);
        if (*apiDescriptionType_ != StaticType::Name<Storage>()) return nullptr;
        return static_cast<Storage*>(apiDescription_.get());
    }

private:
    friend class BindingTypeBuilderBase;

    /// The description registered under a name, and whether this call made
    /// it; or, when the registration is refused, no description and the type
    /// whose identity hash the new one shares.
    struct OpenedType {
        BindingTypeDescription* description;
        bool created;
        const BindingTypeDescription* clash = nullptr;
    };

    /// Under the mutex: the type named `name` if it exists, else a new
    /// description of that name, size, identity and shape (`shape` Enum for
    /// enumerations, anything else for records), entered by name and, unless
    /// `identity` is the no-type identity or already taken by the same native
    /// type, by identity. A native type whose identity hash is already that of
    /// another native type is refused: nothing is entered, and `clash` names
    /// the other type.
    [[nodiscard]] OpenedType OpenType(std::string_view name, size_t nativeSize,
                                      const StaticTypeId& identity, BindingTypeKind shape);
    /// Under the mutex: the type entered for `identity`'s hash when it stands
    /// for that very native type, or null.
    [[nodiscard]] const BindingTypeDescription* FindByIdentityLocked(
        const StaticTypeId& identity) const;

    template <class Description>
    using ByName =
        std::unordered_map<std::string, std::unique_ptr<Description>, TextHash, std::equal_to<>>;

    mutable std::mutex mutex_;
    ByName<BindingTypeDescription> typesByName_;
    std::unordered_map<uint32_t, const BindingTypeDescription*> typesByIdentity_;
    ByName<BindingFunctionDescription> functionsByName_;
    ByName<BindingEventDescription> eventsByName_;
    std::atomic<bool> initialised_{false};
    std::shared_ptr<void> apiDescription_;
    const StaticTypeId* apiDescriptionType_ = &StaticTypeId::None();
};

}  // namespace Nimbel

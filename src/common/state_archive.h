// The fields of a state, listed once.
//
// A state type names its fields in a free function found by argument-dependent lookup, written
// once for reading (a const state) and writing (a mutable one):
//
//   template <class Archive, class S>
//     requires std::same_as<std::remove_const_t<S>, Foo>
//   void visitFields(Archive& a, S& s) { a(s.x, s.y, s.view); }
//
// An archive is anything that can be called with the fields. What a field may be:
//   - a leaf: an integral type, bool, an enum, a floating-point number, QChar, QString, a
//     std::bitset (one leaf for all its bits);
//   - a composite: std::array, std::vector, QList (so QStringList), std::optional, std::pair, or a
//     type with visitFields of its own.
// forEachField, forEachFieldPair and the leaf traits below are what archives build on.
#pragma once

#include <QChar>
#include <QList>
#include <QString>
#include <array>
#include <bitset>
#include <concepts>
#include <cstddef>
#include <optional>
#include <type_traits>
#include <utility>
#include <vector>

namespace rpn {

namespace archive_detail {

// An archive that takes any fields and does nothing, to ask whether a type lists its fields.
struct Probe {
  template <class... F> void operator()(F&...) {}
};

// Hands the fields of one visitFields call on to a function.
template <class F> struct Forward {
  F& f;
  template <class... T> void operator()(T&... fields) { f(fields...); }
};

template <class T> struct IsStdArray : std::false_type {};
template <class T, std::size_t N> struct IsStdArray<std::array<T, N>> : std::true_type {};
template <class T> struct IsBitset : std::false_type {};
template <std::size_t N> struct IsBitset<std::bitset<N>> : std::true_type {};
template <class T> struct IsSequence : std::false_type {};
template <class T, class A> struct IsSequence<std::vector<T, A>> : std::true_type {};
template <class T> struct IsSequence<QList<T>> : std::true_type {};
template <class T> struct IsOptional : std::false_type {};
template <class T> struct IsOptional<std::optional<T>> : std::true_type {};
template <class T> struct IsPair : std::false_type {};
template <class A, class B> struct IsPair<std::pair<A, B>> : std::true_type {};

} // namespace archive_detail

// A type that lists its fields through visitFields.
template <class T>
concept HasFields = requires(archive_detail::Probe& a, T& t) {
  visitFields(a, t);
};

// A leaf held in a few bytes and compared by value: integral types, bool, enums, QChar.
template <class T>
concept ScalarLeaf = std::integral<T> || std::is_enum_v<T> || std::same_as<T, QChar>;

// Floating-point leaves are compared bit for bit: -0.0 differs from 0.0, and a NaN equals itself.
template <class T>
concept FloatLeaf = std::floating_point<T>;

template <class T>
concept BitsetLeaf = archive_detail::IsBitset<T>::value;

template <class T>
concept StateLeaf = ScalarLeaf<T> || FloatLeaf<T> || BitsetLeaf<T> || std::same_as<T, QString>;

template <class T>
concept FixedArray = archive_detail::IsStdArray<T>::value;
// A sequence of variable length: std::vector or QList.
template <class T>
concept Sequence = archive_detail::IsSequence<T>::value;
template <class T>
concept Optional = archive_detail::IsOptional<T>::value;
template <class T>
concept Pair = archive_detail::IsPair<T>::value;

// Calls f with every field of s, as visitFields lists them (const when s is const).
template <HasFields S, class F> void forEachField(S& s, F&& f) {
  auto each = [&](auto&... fields) { (f(fields), ...); };
  archive_detail::Forward<decltype(each)> a{each};
  visitFields(a, s);
}

// Calls f(fieldOfA, fieldOfB) for every field of two states of one type, in step.
template <HasFields S, class T, class F>
requires std::same_as<std::remove_const_t<S>, std::remove_const_t<T>>
void forEachFieldPair(S& a, T& b, F&& f) {
  auto outer = [&](auto&... fieldsOfA) {
    auto inner = [&](auto&... fieldsOfB) { (f(fieldsOfA, fieldsOfB), ...); };
    archive_detail::Forward<decltype(inner)> archiveOfB{inner};
    visitFields(archiveOfB, b);
  };
  archive_detail::Forward<decltype(outer)> archiveOfA{outer};
  visitFields(archiveOfA, a);
}

// The number of leaves of a type whose shape never changes (leaves, arrays and pairs of them);
// 0 for a type whose leaf count depends on its value or is not known here.
template <class T> constexpr std::size_t fixedLeafCount() {
  if constexpr (StateLeaf<T>) {
    return 1;
  } else if constexpr (FixedArray<T>) {
    return std::tuple_size_v<T> * fixedLeafCount<typename T::value_type>();
  } else if constexpr (Pair<T>) {
    constexpr std::size_t first = fixedLeafCount<typename T::first_type>();
    constexpr std::size_t second = fixedLeafCount<typename T::second_type>();
    return first != 0 && second != 0 ? first + second : 0;
  } else {
    return 0;
  }
}

// Values whose equality is equality of every leaf, so that a whole array can be compared at once:
// scalar leaves and fixed arrays of them.
template <class T> constexpr bool plainlyComparable() {
  if constexpr (ScalarLeaf<T>)
    return true;
  else if constexpr (FixedArray<T>)
    return plainlyComparable<typename T::value_type>();
  else
    return false;
}

} // namespace rpn

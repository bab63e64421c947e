// Time per call of a typical NewState: the program's own interpreter, the
// same function in Lua 5.4 called through its C API, and in plain C++.
// All three walk the same argument sets and must agree on every result.

#include <benchmark/benchmark.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "script/ScriptProgram.h"

extern "C" {
#include <lauxlib.h>
#include <lua.h>
#include <lualib.h>
}

namespace {

using namespace vantrel;

constexpr const char* kPascal = R"(unit bench;
var Steps: Integer;

function Near(Value, Target, Tolerance: Real): Boolean;
begin
  Result := Abs(Value - Target) <= Tolerance;
end;

function NewState(State: Integer; LT, LP, LC, LE, V1, V2, V3, dLT, dLP, dLC, dLE, dV1, dV2,
  dV3: Real): Integer;
var Heating, Stable: Boolean;
begin
  Inc(Steps);
  Result := State;
  Heating := (dLT > 0.05) and (LT < 80);
  Stable := (Abs(dLP) < 0.01) and (Abs(dLC) < 0.5);
  case State of
    0: if LT > 40 then Result := 1;
    1: if Heating then Result := 2 else if LT > 60 then Result := 3;
    2: if Near(LP, 7.0, 0.2) and Stable then Result := 4;
    3: begin
         if V1 + V2 > 25 then Result := 5;
         if LE < -100 then Result := 6;
       end;
    4, 5: if (LC > 1.5) or (dV3 > 0.1) then Result := State + 2;
    6..8: if Steps mod 50 = 0 then Result := 0 else if V3 > 10 then Result := 9;
  else
    Result := 0;
  end;
  if (LT > 95) or (LP < 1) then Result := 10;
end;

end.)";

constexpr const char* kLua = R"(
local abs = math.abs
local steps = 0
local function near(value, target, tolerance)
  return abs(value - target) <= tolerance
end
function NewState(state, LT, LP, LC, LE, V1, V2, V3, dLT, dLP, dLC, dLE, dV1, dV2, dV3)
  steps = steps + 1
  local result = state
  local heating = dLT > 0.05 and LT < 80
  local stable = abs(dLP) < 0.01 and abs(dLC) < 0.5
  if state == 0 then
    if LT > 40 then result = 1 end
  elseif state == 1 then
    if heating then result = 2 elseif LT > 60 then result = 3 end
  elseif state == 2 then
    if near(LP, 7.0, 0.2) and stable then result = 4 end
  elseif state == 3 then
    if V1 + V2 > 25 then result = 5 end
    if LE < -100 then result = 6 end
  elseif state == 4 or state == 5 then
    if LC > 1.5 or dV3 > 0.1 then result = state + 2 end
  elseif state >= 6 and state <= 8 then
    if steps % 50 == 0 then result = 0 elseif V3 > 10 then result = 9 end
  else
    result = 0
  end
  if LT > 95 or LP < 1 then result = 10 end
  return result
end
)";

int steps = 0;

bool near(double value, double target, double tolerance) {
    return std::fabs(value - target) <= tolerance;
}

[[gnu::noinline]] int newState(int state, const double* v) {
    const double lt = v[0], lp = v[1], lc = v[2], le = v[3], v1 = v[4], v2 = v[5], v3 = v[6];
    const double dlt = v[7], dlp = v[8], dlc = v[9], dv3 = v[13];
    ++steps;
    int result = state;
    const bool heating = dlt > 0.05 && lt < 80;
    const bool stable = std::fabs(dlp) < 0.01 && std::fabs(dlc) < 0.5;
    switch (state) {
        case 0:
            if (lt > 40)
                result = 1;
            break;
        case 1:
            if (heating)
                result = 2;
            else if (lt > 60)
                result = 3;
            break;
        case 2:
            if (near(lp, 7.0, 0.2) && stable)
                result = 4;
            break;
        case 3:
            if (v1 + v2 > 25)
                result = 5;
            if (le < -100)
                result = 6;
            break;
        case 4:
        case 5:
            if (lc > 1.5 || dv3 > 0.1)
                result = state + 2;
            break;
        case 6:
        case 7:
        case 8:
            if (steps % 50 == 0)
                result = 0;
            else if (v3 > 10)
                result = 9;
            break;
        default:
            result = 0;
    }
    if (lt > 95 || lp < 1)
        result = 10;
    return result;
}

// Readings as the station sends them, through every state.
struct tStep {
    int state;
    std::array<double, 14> values;
};

const std::vector<tStep>& steps64() {
    static const std::vector<tStep> table = [] {
        std::vector<tStep> out;
        unsigned seed = 12345;
        auto next = [&](double low, double high) {
            seed = seed * 1103515245u + 12345u;
            return low + (high - low) * ((seed >> 8) & 0xFFFF) / 65535.0;
        };
        for (int k = 0; k < 64; ++k) {
            tStep s;
            s.state = k % 10;
            s.values = {next(20, 100),     next(0.5, 12), next(0, 3),  next(-200, 200),
                        next(0, 20),       next(0, 20),   next(0, 20), next(-0.1, 0.2),
                        next(-0.02, 0.02), next(-1, 1),   next(-1, 1), next(0, 0.2),
                        next(0, 0.2),      next(0, 0.2)};
            out.push_back(s);
        }
        return out;
    }();
    return table;
}

std::vector<std::array<tScriptArg, 17>> scriptArgs() {
    std::vector<std::array<tScriptArg, 17>> out;
    for (const tStep& s : steps64()) {
        std::array<tScriptArg, 17> args;
        args[0] = tScriptArg::Integer(s.state);
        for (int k = 0; k < 14; ++k) {
            args[static_cast<std::size_t>(k) + 1] =
                tScriptArg::Real(s.values[static_cast<std::size_t>(k)]);
        }
        out.push_back(args);
    }
    return out;
}

struct tLua {
    lua_State* state = luaL_newstate();
    int function = LUA_NOREF;

    tLua() {
        luaL_openlibs(state);
        if (luaL_dostring(state, kLua) != LUA_OK) {
            std::fprintf(stderr, "lua: %s\n", lua_tostring(state, -1));
            std::abort();
        }
        lua_getglobal(state, "NewState");
        function = luaL_ref(state, LUA_REGISTRYINDEX);
    }
    ~tLua() { lua_close(state); }

    int Call(const tStep& s) {
        lua_rawgeti(state, LUA_REGISTRYINDEX, function);
        lua_pushinteger(state, s.state);
        for (double v : s.values) {
            lua_pushnumber(state, v);
        }
        lua_pushnil(state);
        lua_pushnil(state);
        if (lua_pcall(state, 17, 1, 0) != LUA_OK) {
            std::fprintf(stderr, "lua: %s\n", lua_tostring(state, -1));
            std::abort();
        }
        const auto result = static_cast<int>(lua_tointeger(state, -1));
        lua_pop(state, 1);
        return result;
    }
};

// The three must give the same states for the same steps.
void checkAgreement() {
    tScriptProgram program;
    program.SetSource(kPascal);
    program.Compile();
    tLua lua;
    const auto args = scriptArgs();
    steps = 0;
    for (int round = 0; round < 200; ++round) {
        for (std::size_t k = 0; k < args.size(); ++k) {
            const tStep& s = steps64()[k];
            const int pascal = program.Call("NewState", args[k]);
            const int fromLua = lua.Call(s);
            const int native = newState(s.state, s.values.data());
            if (pascal != fromLua || pascal != native) {
                std::fprintf(stderr, "results differ: %d %d %d\n", pascal, fromLua, native);
                std::abort();
            }
        }
    }
}

void BM_NewStatePascal(benchmark::State& state) {
    tScriptProgram program;
    program.SetSource(kPascal);
    program.Compile();
    const auto args = scriptArgs();
    std::size_t k = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(program.Call("NewState", args[k]));
        k = (k + 1) & 63;
    }
}

void BM_NewStateLua(benchmark::State& state) {
    tLua lua;
    std::size_t k = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(lua.Call(steps64()[k]));
        k = (k + 1) & 63;
    }
}

void BM_NewStateCpp(benchmark::State& state) {
    std::size_t k = 0;
    for (auto _ : state) {
        const tStep& s = steps64()[k];
        benchmark::DoNotOptimize(newState(s.state, s.values.data()));
        k = (k + 1) & 63;
    }
}

BENCHMARK(BM_NewStatePascal)->Iterations(1'000'000);
BENCHMARK(BM_NewStateLua)->Iterations(1'000'000);
BENCHMARK(BM_NewStateCpp)->Iterations(1'000'000);

}  // namespace

int main(int argc, char** argv) {
    checkAgreement();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

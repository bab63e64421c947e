unit IntArith;

// Integer arithmetic: precedence, div and mod with negative operands, the
// widths of Integer, Int64 and Cardinal, bit operations, overflow. Two
// Integers compute in 32 bits, overflow checked, where Free Pascal on a
// 64-bit target computes in 64.

interface

function Precedence: Int64;
function DivMod: String;
function DivByZero: Integer;
function ModByZero: Integer;
function Int64Sum: Int64;
function Int64Overflow: Int64;
function Int64NegOverflow: Int64;
function IntegerTimesTwo: Int64; // Delphi: error: integer overflow
function IntegerHalved: Int64; // Delphi: error: integer overflow
function IntegerSumWide: Int64; // Delphi: error: integer overflow
function IntegerNegated: Int64; // Delphi: error: integer overflow
function IntegerDivMinusOne: Int64; // Delphi: error: integer overflow
function IntegerWithInt64: Int64;
function IntegerWithCardinal: Int64;
function ByteProduct: Integer;
function Bits: String;
function ShiftInt64: Int64;
function NotCardinal: Int64;
function IntoInteger: Integer;
function IntoByte: Byte;
function IntoWord: Word;
function IncByte: Byte;
function ConstArithmetic: Int64;

implementation

uses SysUtils;

const
  Big = 3000000000;
  Seven = 7;

var
  Zero: Integer;

function Precedence: Int64;
begin
  Result := 2 + 3 * 4 - 10 div 3 + (2 + 3) * 4 - -5 + 17 mod 5 * 2;
end;

function DivMod: String;
var A, B: Integer;
begin
  A := -7;
  B := 2;
  Result := IntToStr(A div B) + ' ' + IntToStr(A mod B) + ' ' + IntToStr(7 div -2) + ' ' +
    IntToStr(7 mod -2) + ' ' + IntToStr(-7 div -2) + ' ' + IntToStr(-7 mod -2) + ' ' +
    IntToStr(A div 7) + ' ' + IntToStr(Seven mod 7);
end;

function DivByZero: Integer;
begin
  Result := Seven div Zero;
end;

function ModByZero: Integer;
begin
  Result := Seven mod Zero;
end;

function Int64Sum: Int64;
var L: Int64;
begin
  L := 4000000000;
  Result := L * 1000 + L div 3 - Big;
end;

function Int64Overflow: Int64;
var L: Int64;
begin
  L := 9223372036854775807;
  Result := L - 10;
  Result := Result + Seven + Seven;
end;

function Int64NegOverflow: Int64;
var L: Int64;
begin
  L := -9223372036854775807;
  Result := L - Seven;
end;

function IntegerTimesTwo: Int64;
var X: Integer;
begin
  X := 2147483647;
  Result := X * 2;
end;

function IntegerHalved: Int64;
var X: Integer;
begin
  X := 2147483647;
  Result := (X * 2) div 2;
end;

function IntegerSumWide: Int64;
var X, Y: Integer;
begin
  X := 2000000000;
  Y := 2000000000;
  Result := X + Y;
end;

function IntegerNegated: Int64;
var X: Integer;
begin
  X := -2147483647 - 1;
  Result := -X;
end;

function IntegerDivMinusOne: Int64;
var X, Y: Integer;
begin
  X := -2147483647 - 1;
  Y := -1;
  Result := X div Y;
end;

function IntegerWithInt64: Int64;
var X: Integer; L: Int64;
begin
  X := 2147483647;
  L := 2;
  Result := X * L + X;
end;

function IntegerWithCardinal: Int64;
var X: Integer; C: Cardinal;
begin
  X := -5;
  C := 4000000000;
  Result := X + C;
end;

function ByteProduct: Integer;
var B: Byte; W: Word;
begin
  B := 200;
  W := 60000;
  Result := B * B + W;
end;

function Bits: String;
var X: Integer;
begin
  X := 12;
  Result := IntToStr(X and 10) + ' ' + IntToStr(X or 3) + ' ' + IntToStr(X xor 5) + ' ' +
    IntToStr(not X) + ' ' + IntToStr(X shl 3) + ' ' + IntToStr(X shr 2);
end;

function ShiftInt64: Int64;
var L: Int64;
begin
  L := 1;
  Result := (L shl 40) + (L shl 62 shr 60);
end;

function NotCardinal: Int64;
var C: Cardinal;
begin
  C := 5;
  Result := not C;
end;

function IntoInteger: Integer;
var L: Int64;
begin
  L := 2147483647;
  L := L + 1;
  Result := L;
end;

function IntoByte: Byte;
var X: Integer;
begin
  X := 255;
  Result := X + 1;
end;

function IntoWord: Word;
var X: Integer;
begin
  X := -1;
  Result := X;
end;

function IncByte: Byte;
begin
  Result := 250;
  Inc(Result, 5);
end;

function ConstArithmetic: Int64;
const
  K = 1000 * 1000;
  M = K * 1000 + Big;
begin
  Result := M - K;
end;

initialization
  Zero := 0;
end.

unit Routines;

// Routines: value, var and const parameters, recursion, forward
// declarations, globals and the initialization part.

interface

function Factorial20: Int64;
function Fibonacci: Integer;
function Gcd: Integer;
function Ackermann: Integer;
function Swapped: String;
function VarAccumulates: Integer;
function MutualRecursion: String;
function GlobalsInitialized: String;
function FunctionNameAsResult: Integer;
function ConstParameter: Real;
function FactorialOverflow: Int64;

implementation

uses SysUtils;

var
  Counter: Integer;
  Greeting: String;

function IsEven(N: Integer): Boolean; forward;

function Fact(N: Integer): Int64;
begin
  if N <= 1 then
    Result := 1
  else
    Result := N * Fact(N - 1);
end;

function Factorial20: Int64;
begin
  Result := Fact(20);
end;

function FactorialOverflow: Int64;
begin
  Result := Fact(21);
end;

function Fib(N: Integer): Integer;
begin
  if N < 2 then
    Result := N
  else
    Result := Fib(N - 1) + Fib(N - 2);
end;

function Fibonacci: Integer;
begin
  Result := Fib(20);
end;

function GcdOf(A, B: Integer): Integer;
begin
  if B = 0 then
    Result := A
  else
    Result := GcdOf(B, A mod B);
end;

function Gcd: Integer;
begin
  Result := GcdOf(1071, 462) * 1000 + GcdOf(-48, 18);
end;

function Ack(M, N: Integer): Integer;
begin
  if M = 0 then
    Result := N + 1
  else if N = 0 then
    Result := Ack(M - 1, 1)
  else
    Result := Ack(M - 1, Ack(M, N - 1));
end;

function Ackermann: Integer;
begin
  Result := Ack(2, 3);
end;

procedure Swap(var A, B: Integer);
var T: Integer;
begin
  T := A;
  A := B;
  B := T;
end;

function Swapped: String;
var X, Y: Integer;
begin
  X := 1;
  Y := 2;
  Swap(X, Y);
  Result := IntToStr(X) + IntToStr(Y);
end;

procedure AddTo(var Total: Integer; Amount: Integer);
begin
  Total := Total + Amount;
  Amount := 0;
end;

function VarAccumulates: Integer;
var I, Step: Integer;
begin
  Result := 0;
  Step := 3;
  for I := 1 to 4 do
    AddTo(Result, Step);
  AddTo(Counter, Result + Step);
  Result := Result * 1000 + Counter;
end;

function IsOdd(N: Integer): Boolean;
begin
  if N = 0 then
    Result := False
  else
    Result := IsEven(N - 1);
end;

function IsEven(N: Integer): Boolean;
begin
  if N = 0 then
    Result := True
  else
    Result := IsOdd(N - 1);
end;

function Flag(B: Boolean): String;
begin
  Result := 'F';
  if B then
    Result := 'T';
end;

function MutualRecursion: String;
begin
  Result := Flag(IsEven(10)) + Flag(IsOdd(7)) + Flag(IsEven(7));
end;

function GlobalsInitialized: String;
begin
  Result := Greeting + ' ' + IntToStr(Counter);
end;

function Twice(N: Integer): Integer;
begin
  Twice := N * 2;
end;

function FunctionNameAsResult: Integer;
begin
  Result := Twice(21);
end;

function Scaled(const X: Real; Factor: Integer): Real;
begin
  Result := X * Factor;
end;

function ConstParameter: Real;
begin
  Result := Scaled(1.25, 4);
end;

initialization
  Counter := 5;
  Greeting := 'hello';
end.

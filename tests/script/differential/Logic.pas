unit Logic;

// Comparisons, Boolean logic and short-circuit evaluation.

interface

function Relations: String;
function RealRelations: String;
function StringRelations: String;
function BooleanRelations: String;
function Connectives: String;
function ShortCircuitAnd: Integer;
function ShortCircuitOr: Integer;
function FullEvaluationNeeded: Integer;
function GuardedDivision: Boolean;
function NotPrecedence: Boolean;

implementation

uses SysUtils;

var
  Calls: Integer;

function Touch(Value: Boolean): Boolean;
begin
  Inc(Calls);
  Result := Value;
end;

function Flag(B: Boolean): String;
begin
  if B then
    Result := 'T'
  else
    Result := 'F';
end;

function Relations: String;
var A, B: Integer;
begin
  A := -3;
  B := 4;
  Result := Flag(A < B) + Flag(A <= B) + Flag(A > B) + Flag(A >= B) + Flag(A = B) +
    Flag(A <> B) + Flag(A = -3) + Flag(B >= 4);
end;

function RealRelations: String;
var X, A, B, C: Real; I: Integer;
begin
  A := 0.1;
  B := 0.2;
  C := 0.3;
  X := A + B;
  I := 1;
  Result := Flag(X = C) + Flag(X > C) + Flag(I < X + 1) + Flag(I = 1.0) + Flag(-X < -C) +
    Flag(A * 3 = C) + Flag(C / 3 = A);
end;

function StringRelations: String;
var S: String;
begin
  S := 'abc';
  Result := Flag(S < 'abd') + Flag(S < 'ab') + Flag(S = 'ABC') + Flag('' < S) +
    Flag('Z' < 'a') + Flag(S >= 'abc') + Flag(S <> 'abc ');
end;

function BooleanRelations: String;
var P, Q: Boolean;
begin
  P := True;
  Q := False;
  Result := Flag(Q < P) + Flag(P = Q) + Flag(P > Q) + Flag(P <> Q) + Flag(False <= Q);
end;

function Connectives: String;
var P, Q: Boolean;
begin
  P := True;
  Q := False;
  Result := Flag(P and Q) + Flag(P or Q) + Flag(P xor Q) + Flag(not P) + Flag(P xor P) +
    Flag(not (P and Q) or Q) + Flag((P or Q) and not Q);
end;

function ShortCircuitAnd: Integer;
begin
  Calls := 0;
  if Touch(False) and Touch(True) then
    Calls := Calls + 100;
  if Touch(True) and Touch(False) then
    Calls := Calls + 100;
  Result := Calls;
end;

function ShortCircuitOr: Integer;
var B: Boolean;
begin
  Calls := 0;
  B := Touch(True) or Touch(False);
  if B and (Touch(False) or Touch(True)) then
    Calls := Calls + 10;
  Result := Calls;
end;

function FullEvaluationNeeded: Integer;
begin
  Calls := 0;
  if Touch(False) xor Touch(True) then
    Calls := Calls + 10;
  Result := Calls;
end;

function GuardedDivision: Boolean;
var N, D: Integer;
begin
  N := 10;
  D := 0;
  Result := (D <> 0) and (N div D > 1);
end;

function NotPrecedence: Boolean;
var A: Integer;
begin
  A := 5;
  Result := not (A > 3) or (A = 5);
end;

end.

unit bench;
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

end.
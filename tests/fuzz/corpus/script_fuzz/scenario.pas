unit proverka;
var Steps: Integer;

function Near(Value, Target, Tolerance: Real): Boolean;
begin
  Result := Abs(Value - Target) <= Tolerance;
end;

function NewState(State: Integer; LT, LP, LC, LE, V1, V2, V3, dLT, dLP, dLC, dLE, dV1, dV2,
  dV3: Real): Integer;
begin
  Inc(Steps);
  Result := State;
  case State of
    0: if LT > 40 then Result := 1;
    1: if Near(LP, 7, 0.2) and (dLP < 0.01) then Result := 2;
    2: if V3 > 0 then Result := 3 else if Steps > 3 then Result := 99;
  end;
end;

end.